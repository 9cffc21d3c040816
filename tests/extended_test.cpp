// SoftExtended against long double, which on x86 is the 64-bit-significand
// format the figures are defined in: + - * / on random operands of every kind
// (subnormal doubles, magnitudes beyond double's range, exact ties, heavy
// cancellation, operands with full 64-bit significands), the conversions to
// double and int, and every count of simulated trials turned into a probability.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "contmon/limits.h"
#include "core/crossing.h"
#include "core/extended.h"

namespace contmon {
namespace {

#if defined(__SANITIZE_ADDRESS__) || !defined(NDEBUG)
constexpr int kRandomCases = 1 << 14;  // per kind of operand: unoptimised or instrumented builds are slow
#else
constexpr int kRandomCases = 1 << 17;
#endif

constexpr bool kLongDoubleIsExtended = LDBL_MANT_DIG == 64;

/// A value held exactly in doubles: value * 2^scale = hi + lo, with hi the nearest double, and the value
/// itself rounded to double (which keeps the sign of a zero, an overflow to infinity and an underflow).
struct Exactly {
  double hi = 0.0, lo = 0.0, rounded = 0.0;
};

/// 2^n for |n| <= 1000, from its bits.
double power_of_two(int n) { return std::bit_cast<double>(static_cast<std::uint64_t>(1023 + n) << 52); }

/// Multiplies x by 2^scale in steps that double can hold; each step is exact in both formats.
template <class T>
T scaled(T x, int scale) {
  while (scale != 0) {
    const int step = std::clamp(scale, -1000, 1000);
    x = x * T(power_of_two(step));
    scale -= step;
  }
  return x;
}

/// x in doubles, scaled by 2^scale so that a finite nonzero value lies in [1, 2); x - hi then has at most 11
/// significant bits and converts exactly.
template <class T>
Exactly exactly(T x, int scale) {
  Exactly e;
  e.rounded = static_cast<double>(x);
  const T s = scaled(x, scale);
  e.hi = static_cast<double>(s);
  if (std::isfinite(e.hi)) e.lo = static_cast<double>(s - T(e.hi));
  return e;
}

/// The scale that brings the reference value into [1, 2), 0 for zeros, infinities and NaN.
int scale_of(long double reference) {
  return std::isfinite(reference) && reference != 0.0L ? -std::ilogb(reference) : 0;
}

bool same_double(double a, double b) {
  return std::isnan(a) ? std::isnan(b) : std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

/// Whether the software value equals the long double one exactly, NaN matching NaN.
::testing::AssertionResult same_value(SoftExtended soft, long double reference) {
  const int scale = scale_of(reference);
  const Exactly want = exactly(reference, scale), got = exactly(soft, scale);
  if (same_double(got.rounded, want.rounded) && same_double(got.hi, want.hi) && same_double(got.lo, want.lo))
    return ::testing::AssertionSuccess();
  std::ostringstream message;
  message << std::hexfloat << "got " << got.rounded << " (" << got.hi << " + " << got.lo << ") * 2^" << -scale
          << ", want " << want.rounded << " (" << want.hi << " + " << want.lo << ") * 2^" << -scale;
  return ::testing::AssertionFailure() << message.str();
}

/// A pair of operands, each given in both formats with the same value.
struct Operands {
  SoftExtended soft_a, soft_b;
  long double a, b;
};

Operands from_doubles(double a, double b) { return {a, b, a, b}; }

std::string describe(long double x) {
  std::ostringstream s;
  s << std::hexfloat << x;
  return s.str();
}

/// Checks the four operations on the operands; returns false after the first few failures.
bool check_operations(const Operands &o, int &failures) {
  struct Operation {
    const char *name;
    SoftExtended soft;
    long double reference;
  };
  const Operation operations[] = {{"+", o.soft_a + o.soft_b, o.a + o.b},
                                  {"-", o.soft_a - o.soft_b, o.a - o.b},
                                  {"*", o.soft_a * o.soft_b, o.a * o.b},
                                  {"/", o.soft_a / o.soft_b, o.a / o.b}};
  for (const Operation &op : operations) {
    const ::testing::AssertionResult same = same_value(op.soft, op.reference);
    if (!same) {
      ADD_FAILURE() << describe(o.a) << " " << op.name << " " << describe(o.b) << ": " << same.message();
      if (++failures >= 10) return false;
    }
  }
  return true;
}

// ---- Random operands of every kind --------------------------------------------------------------

using Engine64 = std::mt19937_64;

/// A double with a random sign, a random 53-bit significand and a binary exponent in [low, high].
double random_double(Engine64 &engine, int low, int high) {
  const double significand =
      std::ldexp(static_cast<double>((engine() >> 11) | (std::uint64_t{1} << 52)), -52);
  const int exponent = std::uniform_int_distribution<int>(low, high)(engine);
  const double magnitude = std::ldexp(significand, exponent);
  return engine() & 1 ? -magnitude : magnitude;
}

/// Any finite double, from the pattern of its bits: every exponent equally likely.
double any_double(Engine64 &engine) {
  for (;;) {
    const double x = std::bit_cast<double>(engine());
    if (std::isfinite(x)) return x;
  }
}

double subnormal(Engine64 &engine) {
  const std::uint64_t bits =
      (engine() & ((std::uint64_t{1} << 52) - 1)) | (engine() & (std::uint64_t{1} << 63));
  return std::bit_cast<double>(bits);
}

/// A product of two doubles in both formats: a value with up to 64 significant bits.
void extended_operand(Engine64 &engine, SoftExtended &soft, long double &reference) {
  const double x = random_double(engine, -60, 60), y = random_double(engine, -60, 60);
  soft = SoftExtended(x) * SoftExtended(y);
  reference = static_cast<long double>(x) * y;
}

/// The kinds of operand pairs, each aimed at a part of the arithmetic.
struct OperandKind {
  const char *name;
  std::function<Operands(Engine64 &)> make;
};

void PrintTo(const OperandKind &kind, std::ostream *os) { *os << kind.name; }

const OperandKind kOperandKinds[] = {
    {"AnyDoubles", [](Engine64 &e) { return from_doubles(any_double(e), any_double(e)); }},
    {"Subnormals", [](Engine64 &e) { return from_doubles(subnormal(e), subnormal(e)); }},
    {"SubnormalAndNormal", [](Engine64 &e) { return from_doubles(subnormal(e), random_double(e, -30, 30)); }},
    // Products and quotients beyond double's range in both directions, and sums far apart in magnitude.
    {"HugeAndTiny",
     [](Engine64 &e) {
       const auto extreme = [&e] {
         return e() & 1 ? random_double(e, 900, 1023) : random_double(e, -1074, -950);
       };
       const double a = extreme();
       return from_doubles(a, extreme());
     }},
    // Nearby magnitudes: differences cancel most of the significand.
    {"Cancellation",
     [](Engine64 &e) {
       const double a = random_double(e, -40, 40);
       const double b =
           a + std::uniform_int_distribution<int>(-2000, 2000)(e) * std::ldexp(1.0, std::ilogb(a) - 52);
       return from_doubles(a, e() & 1 ? b : -b);
     }},
    // A power of two and a much smaller number: the difference lies just below the power, with the smaller
    // operand's bits anywhere from inside the significand to far below it (sticky bits only).
    {"PowerOfTwoAndSmaller",
     [](Engine64 &e) {
       const double a = std::ldexp(e() & 1 ? 1.0 : -1.0, std::uniform_int_distribution<int>(-100, 100)(e));
       const int below = std::uniform_int_distribution<int>(0, 140)(e);
       return from_doubles(a, std::ldexp(random_double(e, 0, 0), std::ilogb(a) - below));
     }},
    // Sums whose exact value ends one bit below a 64-bit significand: ties between two neighbours.
    {"SumTies",
     [](Engine64 &e) {
       const double a = random_double(e, 0, 0);
       const double odd = static_cast<double>((e() & 0x3ff) | 1);
       const int exponent = std::uniform_int_distribution<int>(-300, 300)(e);
       return from_doubles(std::ldexp(a, exponent), std::ldexp(odd, exponent - 64));
     }},
    // Odd 33-bit integers whose product has 65 bits: ties again, and products of 66 bits that round.
    {"ProductTies",
     [](Engine64 &e) {
       const auto odd33 = [&e] { return static_cast<double>((e() >> 31) | (std::uint64_t{1} << 32) | 1); };
       const int exponent = std::uniform_int_distribution<int>(-500, 500)(e);
       return from_doubles(std::ldexp(odd33(), exponent), (e() & 1 ? -1 : 1) * odd33());
     }},
    // Products landing between double's subnormals, some exactly halfway: the conversion to double rounds
    // them.
    {"SubnormalResults",
     [](Engine64 &e) {
       const double small = static_cast<double>((e() & 0xfffff) | 1);
       return from_doubles(std::ldexp(small, -600), std::ldexp(static_cast<double>((e() & 0xff) | 1), -475));
     }},
    // A double and about half a unit in the last place of a 64-bit significand at its magnitude, with bits
    // below the reach of the sum: what was dropped decides between two neighbours that seem tied.
    {"HalfUnitAndDroppedBits",
     [](Engine64 &e) {
       const double a = random_double(e, -300, 300);
       const double half = std::ldexp(e() & 1 ? 1.0 : -1.0,
                                      std::ilogb(a) - 64 + std::uniform_int_distribution<int>(-1, 1)(e));
       const int reach = e() & 1 ? 2 : 1 << 20;  // the fewest dropped bits leave an apparent tie
       const double part = half * std::ldexp(std::uniform_int_distribution<int>(-reach, reach)(e), -63);
       return Operands{a, SoftExtended(half) + SoftExtended(part), a, static_cast<long double>(half) + part};
     }},
    {"FullSignificands",
     [](Engine64 &e) {
       Operands o{};
       extended_operand(e, o.soft_a, o.a);
       extended_operand(e, o.soft_b, o.b);
       return o;
     }},
};

class SoftExtendedOperations : public testing::TestWithParam<OperandKind> {
 protected:
  void SetUp() override {
    if (!kLongDoubleIsExtended) GTEST_SKIP() << "long double is not the 64-bit-significand format here";
  }
};

TEST_P(SoftExtendedOperations, EqualLongDoubleBitForBit) {
  Engine64 engine(std::hash<std::string>{}(GetParam().name));
  int failures = 0;
  for (int i = 0; i < kRandomCases; ++i)
    if (!check_operations(GetParam().make(engine), failures)) break;
}

INSTANTIATE_TEST_SUITE_P(Kinds, SoftExtendedOperations, testing::ValuesIn(kOperandKinds),
                         [](const testing::TestParamInfo<OperandKind> &info) { return info.param.name; });

// ---- Zeros, infinities and NaN ------------------------------------------------------------------

TEST(SoftExtended, SpecialValuesFollowLongDouble) {
  if (!kLongDoubleIsExtended) GTEST_SKIP() << "long double is not the 64-bit-significand format here";
  const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
  const double values[] = {0.0, -0.0, inf, -inf, nan, 1.5, -3.0, 0x1p-1074};
  int failures = 0;
  for (double a : values)
    for (double b : values) check_operations(from_doubles(a, b), failures);
}

// ---- Conversions ---------------------------------------------------------------------------------

TEST(SoftExtended, ConversionToDoubleAtTheEndsOfItsRange) {
  if (!kLongDoubleIsExtended) GTEST_SKIP() << "long double is not the 64-bit-significand format here";
  // Each pair's sum or product lies halfway between two doubles, or just off halfway, at the largest double,
  // the smallest normal one and the smallest subnormal one.
  const std::pair<double, double> pairs[] = {
      {DBL_MAX, 0x1p970},                  // halfway to 2^1024: rounds to infinity
      {DBL_MAX, 0x1p969},                  // a quarter of the way: stays
      {DBL_MAX, 0x1.ffffffffffffep969},    // just under halfway
      {0x1p-1000, 0x1.fffffffffffffp-23},  // just under the smallest normal, halfway between two doubles
      {0x1p-1000, 0x1p-75},                // half the smallest subnormal: to zero, the even neighbour
      {0x1p-1000, 0x1.8p-75},              // three quarters of it: up
      {0x1p-1000, 0x1.0000000000001p-75},  // just over half of it: up
      {-0x1p-1000, 0x1p-75},               // to minus zero
  };
  int failures = 0;
  for (const auto &[a, b] : pairs) check_operations(from_doubles(a, b), failures);
}

TEST(SoftExtended, ConversionFromIntIsExact) {
  if (!kLongDoubleIsExtended) GTEST_SKIP() << "long double is not the 64-bit-significand format here";
  Engine64 engine(5);
  std::vector<int> values = {0, 1, -1, INT_MAX, INT_MIN, INT_MIN + 1, 1 << 30, -(1 << 30), kSimulatedTrials};
  for (int i = 0; i < 10000; ++i) values.push_back(static_cast<int>(static_cast<std::uint32_t>(engine())));
  for (int n : values) EXPECT_TRUE(same_value(SoftExtended(n), static_cast<long double>(n))) << n;
  EXPECT_FALSE(std::signbit(static_cast<double>(SoftExtended(0))));
}

TEST(SoftExtended, ConversionToIntTruncatesTowardZero) {
  if (!kLongDoubleIsExtended) GTEST_SKIP() << "long double is not the 64-bit-significand format here";
  struct Case {
    SoftExtended soft;
    long double reference;
  };
  std::vector<Case> cases;
  const auto add = [&](SoftExtended soft, long double reference) { cases.push_back({soft, reference}); };
  // Integers and values just above and below them, at the ends of int's range too.
  for (int n : {0, 1, -1, 2, -2, 1000000, -1000000, INT_MAX - 1, INT_MIN + 1}) {
    const double tiny = 0x1p-30;
    add(SoftExtended(n), n);
    add(SoftExtended(n) + SoftExtended(tiny), static_cast<long double>(n) + tiny);
    add(SoftExtended(n) - SoftExtended(tiny), static_cast<long double>(n) - tiny);
  }
  add(SoftExtended(INT_MAX), INT_MAX);
  add(SoftExtended(INT_MIN), INT_MIN);
  add(SoftExtended(INT_MAX) + SoftExtended(0.5), static_cast<long double>(INT_MAX) + 0.5L);
  add(SoftExtended(INT_MIN) - SoftExtended(0.5), static_cast<long double>(INT_MIN) - 0.5L);
  add(SoftExtended(0x1p-1000) * SoftExtended(0x1p-1000), 0x1p-1000L * 0x1p-1000L);
  add(SoftExtended(-0.0), -0.0L);
  // Quotients of random integers: fractions with full 64-bit significands.
  Engine64 engine(9);
  for (int i = 0; i < 100000; ++i) {
    const int a = static_cast<int>(static_cast<std::uint32_t>(engine()));
    const int b =
        std::uniform_int_distribution<int>(1, 1 << std::uniform_int_distribution<int>(1, 30)(engine))(engine);
    add(SoftExtended(a) / SoftExtended(b), static_cast<long double>(a) / b);
  }
  for (const Case &c : cases) {
    ASSERT_TRUE(same_value(c.soft, c.reference)) << describe(c.reference);
    ASSERT_EQ(static_cast<int>(c.soft), static_cast<int>(c.reference)) << describe(c.reference);
  }
}

// ---- Counts of simulated trials as probabilities --------------------------------------------------

TEST(SoftExtended, EveryCountOfTrialsGivesTheSameProbability) {
  if (!kLongDoubleIsExtended) GTEST_SKIP() << "long double is not the 64-bit-significand format here";
  const SoftExtended soft_trials(kSimulatedTrials);
  const long double trials = kSimulatedTrials;
  for (int count = 0; count <= kSimulatedTrials; ++count) {
    const SoftExtended soft = SoftExtended(count) / soft_trials;
    const long double reference = count / trials;
    ASSERT_TRUE(same_value(soft, reference)) << count;
    // The library's own conversion, in whichever arithmetic it was built with.
    ASSERT_EQ(count_to_probability(count), static_cast<double>(reference)) << count;
  }
}

}  // namespace
}  // namespace contmon
