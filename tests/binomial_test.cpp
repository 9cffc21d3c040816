// Log-factorials, binomial probabilities and rows.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "core/binomial.h"

namespace contmon {
namespace {

const double kInf = std::numeric_limits<double>::infinity();

double log_factorial(int n) { return std::lgamma(n + 1.0); }

TEST(Ilfact, TableValuesAndRange) {
  EXPECT_EQ(ilfact(0), 0.0);
  EXPECT_EQ(ilfact(1), 0.0);
  EXPECT_DOUBLE_EQ(ilfact(2), std::log(2.0));
  EXPECT_DOUBLE_EQ(ilfact(10), std::log(3628800.0));
  EXPECT_NEAR(ilfact(255), log_factorial(255), 1e-10);
  EXPECT_TRUE(std::isnan(ilfact(-1)));
  EXPECT_TRUE(std::isnan(ilfact(256)));
  EXPECT_TRUE(std::isnan(ilfact(std::numeric_limits<int>::min())));
}

TEST(Ilfact, EntriesAreRunningSumsOfLogarithms) {
  // Each entry is the previous entry plus ln i, rounded to double at every step.
  double sum = 0.0;
  for (int i = 2; i <= 255; ++i) {
    sum = sum + std::log(static_cast<double>(i));
    ASSERT_EQ(ilfact(i), sum) << i;
  }
}

TEST(UncheckedBinLogPdf, BareFormulaWithoutSpecialCases) {
  EXPECT_TRUE(std::isnan(un_checked_bin_log_pdf(0, 5, 0.0)));  // 0 * -inf
  EXPECT_EQ(un_checked_bin_log_pdf(2, 5, 0.0), -kInf);
  EXPECT_TRUE(std::isnan(un_checked_bin_log_pdf(5, 5, 1.0)));
  EXPECT_EQ(un_checked_bin_log_pdf(4, 5, 1.0), -kInf);
  EXPECT_TRUE(std::isnan(un_checked_bin_log_pdf(6, 5, 0.5)));
  EXPECT_TRUE(std::isnan(un_checked_bin_log_pdf(-1, 5, 0.5)));
  EXPECT_TRUE(std::isnan(un_checked_bin_log_pdf(3, 300, 0.5)));
  EXPECT_TRUE(std::isnan(un_checked_bin_log_pdf(-2147483647 - 1, 2147483647, 0.5)));
  EXPECT_NEAR(un_checked_bin_log_pdf(2, 4, 0.5), std::log(6.0 / 16.0), 1e-15);
}

struct PdfCase {
  int y, n;
  double p;
  double expected;  // NaN means the result must be NaN
};

void PrintTo(const PdfCase &c, std::ostream *os) { *os << "y=" << c.y << " n=" << c.n << " p=" << c.p; }

class BinPdfSpecialCases : public testing::TestWithParam<PdfCase> {};

TEST_P(BinPdfSpecialCases, ExactAnswers) {
  const PdfCase &c = GetParam();
  double pdf = bin_pdf(c.y, c.n, c.p);
  if (std::isnan(c.expected)) {
    EXPECT_TRUE(std::isnan(pdf)) << pdf;
  } else {
    EXPECT_EQ(pdf, c.expected);
  }
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(Table, BinPdfSpecialCases,
                         testing::Values(PdfCase{0, 0, 0.3, 1.0}, PdfCase{1, 0, 0.3, 0.0},
                                         PdfCase{0, 0, 0.0, 1.0}, PdfCase{0, 0, 1.0, 1.0},
                                         PdfCase{1, 0, 1.0, 0.0}, PdfCase{0, 5, 0.0, 1.0},
                                         PdfCase{2, 5, 0.0, 0.0}, PdfCase{5, 5, 1.0, 1.0},
                                         PdfCase{4, 5, 1.0, 0.0}, PdfCase{-1, 5, 0.5, 0.0},
                                         PdfCase{6, 5, 0.5, 0.0}, PdfCase{0, -1, 0.5, kNaN},
                                         PdfCase{0, 5, -0.1, kNaN}, PdfCase{0, 5, 1.5, kNaN},
                                         PdfCase{3, 300, 0.5, kNaN}, PdfCase{3, 5, kNaN, kNaN}));

TEST(BinPdf, AgreesWithTheClosedForm) {
  EXPECT_NEAR(bin_pdf(2, 4, 0.5), 6.0 / 16.0, 1e-15);
  for (int n : {1, 7, 40, 255}) {
    for (double p : {0.01, 0.3, 0.9}) {
      for (int y = 0; y <= n; y += 1 + n / 10) {
        double expected = std::exp(log_factorial(n) - log_factorial(y) - log_factorial(n - y) +
                                   y * std::log(p) + (n - y) * std::log1p(-p));
        EXPECT_NEAR(bin_pdf(y, n, p), expected, 1e-300 + 1e-10 * expected) << y << " " << n << " " << p;
      }
    }
  }
}

// Row writers under test, called through one signature.
using RowWriter = int (*)(double row[], int n, double p);
int init_bin2_row(double row[], int n, double p) { return init_bin2(row, p, n); }

struct RowCase {
  const char *writer_name;
  RowWriter writer;
};

void PrintTo(const RowCase &c, std::ostream *os) { *os << c.writer_name; }

class BinomialRows : public testing::TestWithParam<RowCase> {};

TEST_P(BinomialRows, HandComputedRows) {
  RowWriter write = GetParam().writer;
  std::vector<double> row(8, -7.0);
  ASSERT_EQ(write(row.data(), 4, 0.5), 0);
  const double four[] = {1.0 / 16, 4.0 / 16, 6.0 / 16, 4.0 / 16, 1.0 / 16};
  for (int k = 0; k <= 4; ++k) EXPECT_NEAR(row[k], four[k], 1e-15) << k;
  EXPECT_EQ(row[5], -7.0);  // nothing written beyond row[n]

  ASSERT_EQ(write(row.data(), 3, 0.5), 0);
  const double three[] = {1.0 / 8, 3.0 / 8, 3.0 / 8, 1.0 / 8};
  for (int k = 0; k <= 3; ++k) EXPECT_NEAR(row[k], three[k], 1e-15) << k;

  ASSERT_EQ(write(row.data(), 2, 0.3), 0);
  EXPECT_NEAR(row[0], 0.49, 1e-15);
  EXPECT_NEAR(row[1], 0.42, 1e-15);
  EXPECT_NEAR(row[2], 0.09, 1e-15);

  ASSERT_EQ(write(row.data(), 1, 0.3), 0);
  EXPECT_EQ(row[0], 0.7);
  EXPECT_EQ(row[1], 0.3);
}

TEST_P(BinomialRows, RowsSumToOneAndMatchTheDensity) {
  RowWriter write = GetParam().writer;
  std::vector<double> row(256);
  for (int n : {1, 2, 3, 4, 10, 37, 100, 255}) {
    for (double p : {1e-6, 0.05, 0.25, 0.5, 0.81, 0.999999}) {
      ASSERT_EQ(write(row.data(), n, p), 0);
      double total = 0.0;
      for (int k = 0; k <= n; ++k) {
        total += row[k];
        double density = bin_pdf(k, n, p);
        ASSERT_NEAR(row[k], density, 1e-300 + 1e-11 * density) << n << " " << p << " " << k;
      }
      ASSERT_NEAR(total, 1.0, 1e-12) << n << " " << p;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Writers, BinomialRows,
                         testing::Values(RowCase{"init_bin2", init_bin2_row}),
                         [](const testing::TestParamInfo<RowCase> &info) { return info.param.writer_name; });

TEST(InitBin2, ThreeStagesUseTheClosedForm) {
  double row[4];
  const double p = 0.3, q = 1.0 - p;
  init_bin2(row, p, 3);
  EXPECT_EQ(row[0], (q * q) * q);
  EXPECT_EQ(row[1], ((3 * p) * q) * q);
  EXPECT_EQ(row[2], ((3 * p) * p) * q);
  EXPECT_EQ(row[3], (p * p) * p);
}

TEST(InitBin2, RecurrenceStartsFromTheRoundedMean) {
  // n = 10, p = 0.25: n p + 0.5 is exactly 3, so the seed is the density at 3
  // and every other entry follows by the ratio of neighbours.
  double row[11];
  init_bin2(row, 0.25, 10);
  EXPECT_EQ(row[3], bin_pdf(3, 10, 0.25));
  const double r = 0.25 / 0.75;
  EXPECT_EQ(row[4], row[3] * ((7 * r) / 4));
  EXPECT_EQ(row[2], row[3] / ((8 * r) / 3));
}

TEST(InitBin2, DegenerateProbabilitiesGiveExactPatterns) {
  double row[256];
  init_bin2(row, 0.0, 6);
  EXPECT_EQ(row[0], 1.0);
  for (int k = 1; k <= 6; ++k) EXPECT_EQ(row[k], 0.0);
  init_bin2(row, 1.0, 6);
  EXPECT_EQ(row[6], 1.0);
  for (int k = 0; k < 6; ++k) EXPECT_EQ(row[k], 0.0);
  init_bin2(row, 0.5, 0);
  EXPECT_EQ(row[0], 1.0);
}

TEST(InitBin2, UntrustedArgumentsStayInsideTheRow) {
  // Outside what its caller passes, but it must still write only row[0..n].
  for (double p : {-0.5, 1.5, kNaN}) {
    std::vector<double> row(12, -7.0);
    init_bin2(row.data() + 1, p, 9);
    EXPECT_EQ(row[0], -7.0) << p;
    EXPECT_EQ(row[11], -7.0) << p;
  }
}

}  // namespace
}  // namespace contmon
