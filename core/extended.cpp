// SoftExtended: the 64-bit-significand arithmetic of long double on x86, in
// integer arithmetic. Every operation forms the exact result, or enough of it
// with a sticky bit for what was dropped, and rounds once to nearest, ties to
// even, as the x87 unit does at its default precision.
#include <bit>
#include <climits>
#include <utility>

#include "core/extended.h"

namespace contmon {

namespace {

__extension__ typedef unsigned __int128 Wide;

int leading_zeros(Wide v) {
  const auto high = static_cast<std::uint64_t>(v >> 64);
  return high != 0 ? std::countl_zero(high) : 64 + std::countl_zero(static_cast<std::uint64_t>(v));
}

}  // namespace

SoftExtended SoftExtended::from_double(double x) {
  if (std::isnan(x)) return special(Kind::kNan);
  if (std::isinf(x)) return special(Kind::kInfinite, x < 0);
  if (x == 0.0) return special(Kind::kZero, std::signbit(x));
  int e = 0;
  const double m = std::frexp(std::fabs(x), &e);  // in [0.5, 1): times 2^64 it is a 64-bit integer, exactly
  SoftExtended r;
  r.kind_ = Kind::kFinite;
  r.negative_ = x < 0;
  r.significand_ = static_cast<std::uint64_t>(std::ldexp(m, 64));
  r.exponent_ = e - 64;
  return r;
}

SoftExtended SoftExtended::from_integer(bool negative, std::uint64_t magnitude, int exponent) {
  if (magnitude == 0) return special(Kind::kZero);
  const int shift = std::countl_zero(magnitude);
  SoftExtended r;
  r.kind_ = Kind::kFinite;
  r.negative_ = negative;
  r.significand_ = magnitude << shift;
  r.exponent_ = exponent - shift;
  return r;
}

SoftExtended SoftExtended::round(bool negative, Wide v, int exponent, bool sticky) {
  const int shift = leading_zeros(v);
  v <<= shift;
  exponent -= shift;
  std::uint64_t kept = static_cast<std::uint64_t>(v >> 64);
  const auto rest = static_cast<std::uint64_t>(v);
  constexpr std::uint64_t kHalf = std::uint64_t{1} << 63;
  const bool up = rest > kHalf || (rest == kHalf && (sticky || (kept & 1) != 0));
  int carry = 0;
  if (up && ++kept == 0) {  // 0xff..ff + 1: the next power of two
    kept = kHalf;
    carry = 1;
  }
  SoftExtended r;
  r.kind_ = Kind::kFinite;
  r.negative_ = negative;
  r.significand_ = kept;
  r.exponent_ = exponent + 64 + carry;
  return r;
}

SoftExtended SoftExtended::add(SoftExtended a, SoftExtended b, bool subtract) {
  if (subtract) b.negative_ = !b.negative_;
  if (a.kind_ == Kind::kNan || b.kind_ == Kind::kNan) return special(Kind::kNan);
  if (a.kind_ == Kind::kInfinite || b.kind_ == Kind::kInfinite) {
    if (a.kind_ == Kind::kInfinite && b.kind_ == Kind::kInfinite && a.negative_ != b.negative_)
      return special(Kind::kNan);
    return a.kind_ == Kind::kInfinite ? a : b;
  }
  if (b.kind_ == Kind::kZero) return a.kind_ == Kind::kZero ? special(Kind::kZero, a.negative_ && b.negative_) : a;
  if (a.kind_ == Kind::kZero) return b;
  // |a| >= |b| from here on.
  if (a.exponent_ < b.exponent_ || (a.exponent_ == b.exponent_ && a.significand_ < b.significand_)) std::swap(a, b);
  const long long distance = static_cast<long long>(a.exponent_) - b.exponent_;
  // Both significands with 63 bits of room below them; a carry fits above.
  const Wide big = static_cast<Wide>(a.significand_) << 63;
  Wide small = static_cast<Wide>(b.significand_) << 63;
  bool sticky = false;
  if (distance >= 127) {
    small = 0;
    sticky = true;
  } else if (distance > 0) {
    sticky = (small & ((static_cast<Wide>(1) << distance) - 1)) != 0;
    small >>= distance;
  }
  const int exponent = a.exponent_ - 63;
  if (a.negative_ == b.negative_) return round(a.negative_, big + small, exponent, sticky);
  // The part of b below the kept bits makes the difference a little less than big - small.
  Wide difference = big - small;
  if (sticky) difference -= 1;
  if (difference == 0) return special(Kind::kZero);
  return round(a.negative_, difference, exponent, sticky);
}

SoftExtended operator*(SoftExtended a, SoftExtended b) {
  using Kind = SoftExtended::Kind;
  const bool negative = a.negative_ != b.negative_;
  if (a.kind_ == Kind::kNan || b.kind_ == Kind::kNan) return SoftExtended::special(Kind::kNan);
  if (a.kind_ == Kind::kInfinite || b.kind_ == Kind::kInfinite) {
    if (a.kind_ == Kind::kZero || b.kind_ == Kind::kZero) return SoftExtended::special(Kind::kNan);
    return SoftExtended::special(Kind::kInfinite, negative);
  }
  if (a.kind_ == Kind::kZero || b.kind_ == Kind::kZero) return SoftExtended::special(Kind::kZero, negative);
  const SoftExtended::Wide product = static_cast<SoftExtended::Wide>(a.significand_) * b.significand_;
  return SoftExtended::round(negative, product, a.exponent_ + b.exponent_, false);
}

SoftExtended operator/(SoftExtended a, SoftExtended b) {
  using Kind = SoftExtended::Kind;
  using Wide = SoftExtended::Wide;
  const bool negative = a.negative_ != b.negative_;
  if (a.kind_ == Kind::kNan || b.kind_ == Kind::kNan) return SoftExtended::special(Kind::kNan);
  if (a.kind_ == Kind::kInfinite)
    return b.kind_ == Kind::kInfinite ? SoftExtended::special(Kind::kNan)
                                      : SoftExtended::special(Kind::kInfinite, negative);
  if (b.kind_ == Kind::kInfinite) return SoftExtended::special(Kind::kZero, negative);
  if (b.kind_ == Kind::kZero)
    return a.kind_ == Kind::kZero ? SoftExtended::special(Kind::kNan) : SoftExtended::special(Kind::kInfinite, negative);
  if (a.kind_ == Kind::kZero) return SoftExtended::special(Kind::kZero, negative);
  // 128 bits of the quotient of the significands by two steps of long division, and whether more follow.
  const Wide numerator = static_cast<Wide>(a.significand_) << 64;
  const Wide first = numerator / b.significand_;  // in (2^63, 2^65)
  const Wide remainder = numerator % b.significand_;
  const Wide second_numerator = remainder << 64;
  const auto second = static_cast<std::uint64_t>(second_numerator / b.significand_);
  const bool rest = second_numerator % b.significand_ != 0;
  const int exponent = a.exponent_ - b.exponent_ - 64;
  if ((first >> 64) != 0)
    return SoftExtended::round(negative, (first << 63) | (second >> 1), exponent - 63, rest || (second & 1) != 0);
  return SoftExtended::round(negative, (first << 64) | second, exponent - 64, rest);
}

SoftExtended::operator double() const {
  switch (kind_) {
    case Kind::kZero:
      return negative_ ? -0.0 : 0.0;
    case Kind::kNan:
      return std::nan("");
    case Kind::kInfinite:
      return negative_ ? -HUGE_VAL : HUGE_VAL;
    case Kind::kFinite:
      break;
  }
  // The value lies in [2^top, 2^(top + 1)); below 2^-1022 the double has fewer bits.
  const int top = exponent_ + 63;
  const int keep = top >= -1022 ? 53 : 53 - (-1022 - top);
  if (keep < 0) return negative_ ? -0.0 : 0.0;
  const int drop = 64 - keep;
  std::uint64_t kept = drop >= 64 ? 0 : significand_ >> drop;
  const std::uint64_t rest = drop >= 64 ? significand_ : significand_ & ((std::uint64_t{1} << drop) - 1);
  const std::uint64_t half = std::uint64_t{1} << (drop - 1);
  if (rest > half || (rest == half && (kept & 1) != 0)) ++kept;
  const double magnitude = std::ldexp(static_cast<double>(kept), exponent_ + drop);
  return negative_ ? -magnitude : magnitude;
}

SoftExtended::operator int() const {
  if (kind_ != Kind::kFinite) return 0;
  if (exponent_ >= 0) return negative_ ? INT_MIN : INT_MAX;
  if (exponent_ <= -64) return 0;
  const auto magnitude = static_cast<long long>(significand_ >> -exponent_);
  return static_cast<int>(negative_ ? -magnitude : magnitude);
}

}  // namespace contmon
