// The number texts of the WebAssembly build, natively: core/text.cpp compiled with CONTMON_PRINTF_NUMBERS
// (printf and strtod, in namespace alt) must give the bytes and values of the usual build (std::to_chars and
// std::from_chars) for random bit patterns, probabilities, decimals, powers of two and chosen edge cases.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <string_view>

#include "core/text.h"

namespace alt {
std::string shortest(double x);
std::string fixed(double x, int decimals);
std::string general(double x, int significant);
bool chars_to_double(std::string_view text, double *value);
}  // namespace alt

namespace {

int failures = 0;
long compared = 0;

void report(const char *what, const std::string &input, const std::string &expected, const std::string &actual) {
  if (++failures <= 20)
    std::printf("%s(%s): to_chars gives '%s', printf gives '%s'\n", what, input.c_str(), expected.c_str(), actual.c_str());
}

void check_reading(const std::string &text) {
  double expected = -1.0, actual = -1.0;
  const bool read = contmon::chars_to_double(text, &expected);
  const bool read_alt = alt::chars_to_double(text, &actual);
  if (read != read_alt || (read && std::memcmp(&expected, &actual, sizeof expected) != 0))
    report("chars_to_double", text, read ? contmon::shortest(expected) : "refused", read_alt ? alt::shortest(actual) : "refused");
}

void check(double x) {
  ++compared;
  const std::string input = contmon::format_string("%a", x);
  if (contmon::shortest(x) != alt::shortest(x)) report("shortest", input, contmon::shortest(x), alt::shortest(x));
  for (int decimals : {0, 1, 2, 3, 4, 6, 9})
    if (contmon::fixed(x, decimals) != alt::fixed(x, decimals))
      report("fixed", input, contmon::fixed(x, decimals), alt::fixed(x, decimals));
  for (int digits : {1, 3, 6, 15})
    if (contmon::general(x, digits) != alt::general(x, digits))
      report("general", input, contmon::general(x, digits), alt::general(x, digits));
  check_reading(contmon::shortest(x));
}

}  // namespace

int main() {
  std::mt19937_64 random(1);
  for (int i = 0; i < 300000; ++i) {
    const std::uint64_t bits = random();
    double x;
    std::memcpy(&x, &bits, sizeof x);
    if (!std::isnan(x)) check(x);
  }
  std::uniform_real_distribution<double> probability(0.0, 1.0);
  for (int i = 0; i < 300000; ++i) {
    check(probability(random));
    check(static_cast<double>(random() % 100000) / 1000.0);
    check(std::ldexp(1.0, static_cast<int>(random() % 2000) - 1000));
    check(static_cast<double>(random() % 1000) / 8.0);  // ties of fixed()
  }
  for (double x : {0.0, -0.0, 1e22, 1e21, 1e23, 100000.0, 1e-5, 123456789.0, 1e16, 5e-324, 1.7976931348623157e308,
                   0.125, 0.375, 2.5, 0.5, 1.5, -0.001, HUGE_VAL, -HUGE_VAL})
    check(x);
  for (const char *text : {"1e-400", "1e400", "4e-320", "+1", "1e-324", "2.5e-324", " 1", "0x10", "inf", "nan", "1.5",
                           "0.3", ".5", "5.", "1e5", "-0", "", "1e", "0.1x"})
    check_reading(text);
  std::printf("number texts: %ld values, %d differences\n", compared, failures);
  return failures == 0 ? 0 : 1;
}
