// Extended precision as the figures are defined: sums and moments carried with
// a 64-bit significand, rounded to nearest (ties to even) after every
// operation, then rounded to double when stored. Where long double is that
// format (x86-64, also with mingw-w64) it is used directly; elsewhere (arm64,
// WebAssembly), or with CONTMON_SOFT_EXTENDED, SoftExtended computes the same
// bits in integer arithmetic, so every machine prints the same figures.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>

namespace contmon {

/// A binary floating-point number with a 64-bit significand and a wide exponent, each operation rounded to
/// nearest with ties to even; conversions from double and int are exact.
class SoftExtended {
 public:
  SoftExtended() = default;
  SoftExtended(double x) { *this = from_double(x); }         // NOLINT: converts as long double does
  SoftExtended(int x) { *this = from_integer(x < 0, x < 0 ? 0ULL - static_cast<std::uint64_t>(x) : static_cast<std::uint64_t>(x), 0); }  // NOLINT

  /// The nearest double (ties to even), as a store of a long double into a double rounds.
  explicit operator double() const;

  /// The value truncated toward zero; it must lie within the range of int.
  explicit operator int() const;

  friend SoftExtended operator+(SoftExtended a, SoftExtended b) { return add(a, b, false); }
  friend SoftExtended operator-(SoftExtended a, SoftExtended b) { return add(a, b, true); }
  friend SoftExtended operator*(SoftExtended a, SoftExtended b);
  friend SoftExtended operator/(SoftExtended a, SoftExtended b);
  SoftExtended &operator+=(SoftExtended b) { return *this = *this + b; }
  SoftExtended &operator-=(SoftExtended b) { return *this = *this - b; }

 private:
  __extension__ typedef unsigned __int128 Wide;
  enum class Kind : std::uint8_t { kZero, kFinite, kInfinite, kNan };

  static SoftExtended from_double(double x);
  static SoftExtended from_integer(bool negative, std::uint64_t magnitude, int exponent);
  // Rounds v * 2^exponent (v != 0), with sticky set when nonzero bits below v were dropped, to 64 bits.
  static SoftExtended round(bool negative, Wide v, int exponent, bool sticky);
  static SoftExtended add(SoftExtended a, SoftExtended b, bool subtract);
  static SoftExtended special(Kind kind, bool negative = false) {
    SoftExtended r;
    r.kind_ = kind;
    r.negative_ = negative;
    return r;
  }

  // Finite nonzero values are significand_ * 2^exponent_, with bit 63 of significand_ set.
  Kind kind_ = Kind::kZero;
  bool negative_ = false;
  int exponent_ = 0;
  std::uint64_t significand_ = 0;
};

#if LDBL_MANT_DIG == 64 && !defined(CONTMON_SOFT_EXTENDED)
/// The arithmetic of the figures' sums: long double, which is the 64-bit-significand format here.
using Extended = long double;
#else
/// The arithmetic of the figures' sums, computed in software where long double is another format.
using Extended = SoftExtended;
#endif

}  // namespace contmon
