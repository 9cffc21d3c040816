// Numbers typed as arguments: what each reader accepts and the value it gives, and the message for what it
// refuses (thrown by the public readers as an Error naming the field); rate lists expanded to the values
// their decimal forms have; the option suggested for a misspelt one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "app/command_line.h"
#include "design/parse.h"
#include "tests/case_name.h"

namespace {

using namespace contmon;

struct NumberCase {
  const char *name;
  const char *text;
  double value;         // when accepted
  const char *message;  // "" when accepted
};

void PrintTo(const NumberCase &c, std::ostream *os) { *os << '\'' << c.text << '\''; }

// The reader of K gives K or its message, as a double and a string.
std::pair<double, std::string> as_sample_size(const char *text) {
  int K = -7;
  std::string message = read_sample_size(text, &K);
  return {K, message};
}

std::pair<double, std::string> as_theta(const char *text) {
  double p = -7.0;
  std::string message = read_probability("THETA", text, &p);
  return {p, message};
}

// The public reader of K, returning what it throws as the field and message.
std::pair<double, std::string> parsed_sample_size(const char *text, std::string *field) {
  try {
    return {parse_sample_size(text), ""};
  } catch (const Error &e) {
    *field = e.field();
    return {0, e.what()};
  }
}

std::pair<double, std::string> parsed_theta(const char *text, std::string *field) {
  try {
    return {parse_probability("THETA", text), ""};
  } catch (const Error &e) {
    *field = e.field();
    return {0, e.what()};
  }
}

class SampleSize : public testing::TestWithParam<NumberCase> {};
class Probability : public testing::TestWithParam<NumberCase> {};

// Checks the reader and the public reader, which must throw the same message for the field named.
void expect_read(std::pair<double, std::string> (*reader)(const char *),
                 std::pair<double, std::string> (*parser)(const char *, std::string *), const char *field,
                 const NumberCase &c) {
  const auto [value, message] = reader(c.text);
  EXPECT_EQ(message, c.message);
  std::string thrown_field;
  const auto [parsed, thrown] = parser(c.text, &thrown_field);
  EXPECT_EQ(thrown, c.message);
  if (*c.message == '\0') {
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(parsed, c.value);
  } else {
    EXPECT_EQ(thrown_field, field);
  }
}

TEST_P(SampleSize, WholeNumbersFromOneTo255Only) {
  expect_read(as_sample_size, parsed_sample_size, "K", GetParam());
}

TEST_P(Probability, DecimalNumbersStrictlyBetweenZeroAndOne) {
  expect_read(as_theta, parsed_theta, "THETA", GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Table, SampleSize,
    testing::Values(
        NumberCase{"One", "1", 1, ""}, NumberCase{"Largest", "255", 255, ""},
        NumberCase{"LeadingZerosAndPlus", "+0040", 40, ""},
        NumberCase{"Zero", "0", 0, "invalid K '0': K is a whole number from 1 to 255"},
        NumberCase{"MinusZero", "-0", 0, "invalid K '-0': K is a whole number from 1 to 255"},
        NumberCase{"Negative", "-5", 0, "invalid K '-5': K is a whole number from 1 to 255"},
        NumberCase{"TooLarge", "256", 0, "invalid K '256': K is a whole number from 1 to 255"},
        NumberCase{"BeyondAnyInteger", "99999999999999999999999", 0,
                   "invalid K '99999999999999999999999': K is a whole number from 1 to 255"},
        NumberCase{"Fraction", "40.5", 0, "invalid K '40.5': K is a whole number from 1 to 255"},
        NumberCase{"WholeInDecimalForm", "40.0", 0,
                   "invalid K '40.0': K is a whole number from 1 to 255: write it in plain digits, as 40"},
        NumberCase{"WholeInExponentForm", "2.55e2", 0,
                   "invalid K '2.55e2': K is a whole number from 1 to 255: write it in plain digits, as "
                   "255"},
        NumberCase{"ExponentBeyondRange", "3e2", 0, "invalid K '3e2': K is a whole number from 1 to 255"},
        NumberCase{"Blank", " 40", 0, "invalid K ' 40': K is a whole number from 1 to 255"},
        NumberCase{"SignAlone", "+", 0, "invalid K '+': K is a whole number from 1 to 255"}),
    case_name<NumberCase>);

INSTANTIATE_TEST_SUITE_P(
    Table, Probability,
    testing::Values(
        NumberCase{"Plain", "0.2", 0.2, ""}, NumberCase{"NoLeadingDigit", ".2", 0.2, ""},
        NumberCase{"Exponent", "2E-1", 0.2, ""}, NumberCase{"PlusSign", "+0.25", 0.25, ""},
        NumberCase{"Subnormal", "4e-320", 4e-320, ""},
        NumberCase{
            "TrailingPoint", "1.", 0,
            "invalid THETA '1.': THETA is a probability between 0 and 1: 0 and 1 themselves are not allowed"},
        NumberCase{"Percentage", "20", 0,
                   "invalid THETA '20': THETA is a probability between 0 and 1: for 20% type 0.2"},
        NumberCase{"PercentSign", "12.5%", 0,
                   "invalid THETA '12.5%': THETA is a probability between 0 and 1: for 12.5% type 0.125"},
        NumberCase{"HundredPercent", "100%", 0,
                   "invalid THETA '100%': THETA is a probability between 0 and 1"},
        NumberCase{
            "DecimalComma", "0,25", 0,
            "invalid THETA '0,25': THETA is a probability between 0 and 1: write the decimal point as a dot: "
            "0.25"},
        NumberCase{"TwoCommas", "0,2,5", 0, "invalid THETA '0,2,5': THETA is a probability between 0 and 1"},
        NumberCase{"Negative", "-0.2", 0, "invalid THETA '-0.2': THETA is a probability between 0 and 1"},
        NumberCase{"Underflow", "1e-400", 0,
                   "invalid THETA '1e-400': THETA is a probability between 0 and 1"},
        NumberCase{"NotANumber", "nan", 0, "invalid THETA 'nan': THETA is a probability between 0 and 1"},
        NumberCase{"Infinity", "inf", 0, "invalid THETA 'inf': THETA is a probability between 0 and 1"},
        NumberCase{"Hexadecimal", "0x1p-2", 0,
                   "invalid THETA '0x1p-2': THETA is a probability between 0 and 1"},
        NumberCase{"ExponentWithoutDigits", "2e", 0,
                   "invalid THETA '2e': THETA is a probability between 0 and 1"},
        NumberCase{"TrailingBlank", "0.2 ", 0,
                   "invalid THETA '0.2 ': THETA is a probability between 0 and 1"},
        NumberCase{"Empty", "", 0, "invalid THETA '': THETA is a probability between 0 and 1"}),
    case_name<NumberCase>);

struct RatesCase {
  const char *name;
  const char *text;
  std::vector<const char *> rates;  // as decimal text: each must read back as the same double
  const char *message;
};

void PrintTo(const RatesCase &c, std::ostream *os) { *os << '\'' << c.text << '\''; }

class Rates : public testing::TestWithParam<RatesCase> {};

TEST_P(Rates, ListsAndRangesInOrderWithTheValuesOfTheirDecimals) {
  std::vector<double> rates;
  EXPECT_EQ(read_rates(GetParam().text, &rates), GetParam().message);
  if (*GetParam().message != '\0') {
    try {
      parse_rates(GetParam().text);
      ADD_FAILURE() << "no Error thrown";
    } catch (const Error &e) {
      EXPECT_EQ(e.field(), "rates");
      EXPECT_EQ(e.what(), std::string(GetParam().message));
    }
    return;
  }
  std::vector<double> expected;
  for (const char *rate : GetParam().rates) expected.push_back(std::strtod(rate, nullptr));
  EXPECT_EQ(rates, expected);
  EXPECT_EQ(parse_rates(GetParam().text), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Rates,
    testing::Values(
        RatesCase{"List", "0.3,0.1,0.3", {"0.3", "0.1", "0.3"}, ""},
        RatesCase{"RangeReachingTo", "0.15:0.4:0.05", {"0.15", "0.2", "0.25", "0.3", "0.35", "0.4"}, ""},
        RatesCase{"RangeStoppingShortOfTo", "0.1:0.5:0.15", {"0.1", "0.25", "0.4"}, ""},
        RatesCase{"RangeOfOne", "0.2:0.2:0.1", {"0.2"}, ""},
        RatesCase{
            "StepsInThousandths", "0.001:0.005:1e-3", {"0.001", "0.002", "0.003", "0.004", "0.005"}, ""},
        RatesCase{"ListAndRanges", "0.9,0.1:0.2:0.05,0.05", {"0.9", "0.1", "0.15", "0.2", "0.05"}, ""},
        RatesCase{
            "Empty",
            "",
            {},
            "invalid --rates '': give rates between 0 and 1 and ranges FROM:TO:STEP, separated by commas"},
        RatesCase{"TrailingComma", "0.1,", {}, "invalid --rates '0.1,': an empty item between commas"},
        RatesCase{"RateOfOne",
                  "0.5,1",
                  {},
                  "invalid --rates '0.5,1': item '1' is not a rate between 0 and 1: 0 and 1 themselves are "
                  "not allowed"},
        RatesCase{"ZeroStep",
                  "0.1:0.2:0",
                  {},
                  "invalid --rates '0.1:0.2:0': range '0.1:0.2:0': STEP must be above 0"},
        RatesCase{"ToOfOne",
                  "0.1:1:0.1",
                  {},
                  "invalid --rates '0.1:1:0.1': range '0.1:1:0.1': FROM and TO are rates between 0 and 1"},
        RatesCase{"FourFields",
                  "0.1:0.2:0.1:0.1",
                  {},
                  "invalid --rates '0.1:0.2:0.1:0.1': range '0.1:0.2:0.1:0.1': a range is FROM:TO:STEP, as "
                  "0.1:0.5:0.05"},
        RatesCase{"StepNotANumber",
                  "0.1:0.2:x",
                  {},
                  "invalid --rates '0.1:0.2:x': range '0.1:0.2:x': STEP 'x' is not a number; a range is "
                  "FROM:TO:STEP, as 0.1:0.5:0.05"},
        RatesCase{"TooMany",
                  "0.00001:0.99999:0.00001",
                  {},
                  "invalid --rates '0.00001:0.99999:0.00001': range '0.00001:0.99999:0.00001' gives more "
                  "than 10000 rates"},
        RatesCase{"TooManyWithAHugeCount",
                  "0.1:0.9:1e-300",
                  {},
                  "invalid --rates '0.1:0.9:1e-300': range '0.1:0.9:1e-300' gives more than 10000 rates"}),
    case_name<RatesCase>);

TEST(Rates, TenThousandAtMost) {
  std::vector<double> rates;
  EXPECT_EQ(read_rates("0.0001:0.9999:0.0001", &rates), "");
  EXPECT_EQ(rates.size(), 9999u);
  EXPECT_EQ(rates.back(), 0.9999);
  EXPECT_EQ(read_rates("0.0001:0.9999:0.0001,0.5", &rates), "");
  EXPECT_EQ(rates.size(), kMaxRates);
  EXPECT_NE(read_rates("0.0001:0.9999:0.0001,0.5,0.5", &rates), "");
}

TEST(NearestOption, SuggestsAKnownOptionWithinTwoEdits) {
  using app::nearest_option;
  EXPECT_EQ(nearest_option("--exac"), "--exact");
  EXPECT_EQ(nearest_option("--rate=0.1"), "--rates");
  EXPECT_EQ(nearest_option("--simualte"), "--simulate");
  EXPECT_EQ(nearest_option("--outptu"), "--output");
  EXPECT_EQ(nearest_option("--verbose"), "");
  EXPECT_EQ(nearest_option("-x"), "");
}

}  // namespace
