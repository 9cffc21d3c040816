// Support routines: printers, readers, files, time stamps and the fatal paths.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "bndry/bndry.h"

namespace {

// A temporary file that is removed when the test ends.
class TempFile {
 public:
  TempFile() {
    char name[] = "/tmp/contmon_support_XXXXXX";
    int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    close(fd);
    path_ = name;
  }
  ~TempFile() { std::remove(path_.c_str()); }
  const std::string &path() const { return path_; }
  std::string contents() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

 private:
  std::string path_;
};

// Runs a printer into a temporary stream and returns what it wrote.
template <class Printer>
std::string printed(Printer print) {
  std::FILE *fp = std::tmpfile();
  print(fp);
  std::fflush(fp);
  std::rewind(fp);
  std::string text;
  for (int c; (c = std::fgetc(fp)) != EOF;) text += static_cast<char>(c);
  std::fclose(fp);
  return text;
}

// A read stream over the given text.
std::FILE *input(const std::string &text) {
  std::FILE *fp = std::tmpfile();
  std::fputs(text.c_str(), fp);
  std::rewind(fp);
  return fp;
}

TEST(VectorPrinters, OneLinePerElementWithTrailingBlank) {
  const int b[] = {99, 2, 2, 3};
  EXPECT_EQ(printed([&](std::FILE *fp) { ivec_print(fp, b, 1, 3, "b"); }),
            "b[1] = 2 \nb[2] = 2 \nb[3] = 3 \n");
  const double x[] = {0.5, 1e-7, 123456789.0};
  EXPECT_EQ(printed([&](std::FILE *fp) { vec_print(fp, x, 0, 2, "x"); }),
            "x[0] = 0.5 \nx[1] = 1e-07 \nx[2] = 1.23457e+08 \n");
}

TEST(VectorPrinters, EmptyRangeSaysSo) {
  const int b[] = {1};
  const double x[] = {1.0};
  EXPECT_EQ(printed([&](std::FILE *fp) { ivec_print(fp, b, 2, 1, "b"); }), "b[] is empty\n");
  EXPECT_EQ(printed([&](std::FILE *fp) { vec_print(fp, x, 5, 0, "v"); }), "v[] is empty\n");
}

TEST(Readers, ValuesMaySpreadOverLinesOrShareOne) {
  std::FILE *fp = input("12 0.5\n\n  3e-1\n.3\t-7 +8 0x1p-2 nan -inf 0012");
  EXPECT_EQ(int_read(fp), 12);
  EXPECT_EQ(std::fgetc(fp), ' ');  // the blank after 12 is left unread
  EXPECT_EQ(dbl_read(fp), 0.5);
  EXPECT_EQ(dbl_read(fp), 0.3);
  EXPECT_EQ(dbl_read(fp), 0.3);
  EXPECT_EQ(int_read(fp), -7);
  EXPECT_EQ(int_read(fp), 8);
  EXPECT_EQ(dbl_read(fp), 0.25);
  EXPECT_TRUE(std::isnan(dbl_read(fp)));
  EXPECT_EQ(dbl_read(fp), -HUGE_VAL);
  EXPECT_EQ(int_read(fp), 12);
  std::fclose(fp);
}

TEST(Readers, IntegersStopWhereScanfStops) {
  std::FILE *fp = input("0x10 7.5");
  EXPECT_EQ(int_read(fp), 0);
  EXPECT_EQ(std::fgetc(fp), 'x');
  std::fclose(fp);
}

struct SaturationCase {
  const char *text;
  int expected;
};

void PrintTo(const SaturationCase &c, std::ostream *os) { *os << '"' << c.text << '"'; }

class IntReadSaturation : public testing::TestWithParam<SaturationCase> {};

TEST_P(IntReadSaturation, NumbersBeyondIntAreClampedNotOverflowed) {
  std::FILE *fp = input(GetParam().text);
  EXPECT_EQ(int_read(fp), GetParam().expected);
  EXPECT_EQ(std::fgetc(fp), '!');  // every digit was consumed
  std::fclose(fp);
}

INSTANTIATE_TEST_SUITE_P(Table, IntReadSaturation,
                         testing::Values(SaturationCase{"2147483647!", INT_MAX},
                                         SaturationCase{"2147483648!", INT_MAX},
                                         SaturationCase{"99999999999999999999999999!", INT_MAX},
                                         SaturationCase{"-2147483648!", INT_MIN},
                                         SaturationCase{"-2147483649!", INT_MIN},
                                         SaturationCase{"-99999999999999999999999999!", INT_MIN},
                                         SaturationCase{"000000000000000000000000255!", 255}));

struct FatalReadCase {
  const char *text;
  bool read_int;
  const char *message;
};

void PrintTo(const FatalReadCase &c, std::ostream *os) {
  *os << (c.read_int ? "int" : "double") << " from \"" << c.text << '"';
}

class FatalReads : public testing::TestWithParam<FatalReadCase> {};

TEST_P(FatalReads, PrintTheMessageOnStandardOutputAndExitWithOne) {
  const FatalReadCase &c = GetParam();
  TempFile out;
  EXPECT_EXIT(
      {
        std::freopen(out.path().c_str(), "w", stdout);
        std::FILE *fp = input(c.text);
        if (c.read_int)
          int_read(fp);
        else
          dbl_read(fp);
        std::exit(0);
      },
      testing::ExitedWithCode(1), "");
  EXPECT_EQ(out.contents(), c.message);
}

INSTANTIATE_TEST_SUITE_P(Table, FatalReads,
                         testing::Values(FatalReadCase{"", true, "int_read: end of file error.\n"},
                                         FatalReadCase{" \n\t ", true, "int_read: end of file error.\n"},
                                         FatalReadCase{"abc", true, "int_read: input error.\n"},
                                         FatalReadCase{"+", true, "int_read: input error.\n"},
                                         FatalReadCase{"- 5", true, "int_read: input error.\n"},
                                         FatalReadCase{".5", true, "int_read: input error.\n"},
                                         FatalReadCase{"", false, "dbl_read: end of file error.\n"},
                                         FatalReadCase{"\n\n", false, "dbl_read: end of file error.\n"},
                                         FatalReadCase{"x1", false, "dbl_read: input error.\n"},
                                         FatalReadCase{"-", false, "dbl_read: input error.\n"}));

TEST(Allocation, FailureEndsWithStatusTwoAndTheMessageLast) {
  TempFile out;
  EXPECT_EXIT(
      {
        std::freopen(out.path().c_str(), "w", stdout);
        std::printf("buffered before ");
        emalloc(SIZE_MAX - 15);
      },
      testing::ExitedWithCode(2), "");
  EXPECT_EQ(out.contents(), "buffered before malloc of " + std::to_string(SIZE_MAX - 15) + " bytes failed:");

  EXPECT_EXIT(
      {
        std::freopen(out.path().c_str(), "w", stdout);
        erealloc(nullptr, SIZE_MAX - 7);
      },
      testing::ExitedWithCode(2), "");
  EXPECT_EQ(out.contents(), "realloc of " + std::to_string(SIZE_MAX - 7) + " bytes failed:");
}

TEST(Allocation, SuccessfulRequestsAreUsable) {
  CheckedBuffer<int> buffer = checked_buffer<int>(1000);
  for (int i = 0; i < 1000; ++i) buffer[i] = i;
  EXPECT_EQ(buffer[999], 999);
  void *p = erealloc(nullptr, 16);
  p = erealloc(p, 4096);
  std::free(p);
  std::free(emalloc(0));
}

TEST(Eprintf, FlushesAndWritesTheMessageWithoutLineEnd) {
  TempFile out;
  EXPECT_EXIT(
      {
        std::freopen(out.path().c_str(), "w", stdout);
        std::printf("first ");
        eprintf("code %d", 7);
      },
      testing::ExitedWithCode(2), "");
  EXPECT_EQ(out.contents(), "first code 7");
}

TEST(Files, OpenFailureIsReportedOnStandardError) {
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  std::FILE *fp = open_file("/nonexistent-directory/x.dat", "w");
  std::string out = testing::internal::GetCapturedStdout();
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(fp, nullptr);
  EXPECT_EQ(out, "");
  EXPECT_EQ(err, "Open of /nonexistent-directory/x.dat with mode=w failed: No such file or directory\n");
}

TEST(Files, CloseOfNullIsQuietAndOpenCloseRoundTrips) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(close_file(nullptr), 0);
  TempFile file;
  std::FILE *fp = open_file(file.path().c_str(), "w");
  ASSERT_NE(fp, nullptr);
  std::fputs("1\n", fp);
  EXPECT_EQ(close_file(fp), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(file.contents(), "1\n");
}

TEST(Files, FailedCloseIsReported) {
  std::FILE *fp = open_file("/dev/full", "w");
  ASSERT_NE(fp, nullptr);
  // Capturing flushes every stream, so it starts before the data is buffered.
  testing::internal::CaptureStderr();
  std::fputs("data that cannot be written\n", fp);
  EXPECT_EQ(close_file(fp), EOF);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Close failed: No space left on device\n");
}

TEST(Files, WriteFailureBeforeTheCloseIsReportedEvenWhenTheCloseSucceeds) {
  TempFile file;
  std::FILE *fp = open_file(file.path().c_str(), "w");
  ASSERT_NE(fp, nullptr);
  std::fputs("1\n", fp);
  EXPECT_EQ(std::fgetc(fp), EOF);  // reading a stream opened for writing sets its error indicator
  ASSERT_TRUE(std::ferror(fp));
  testing::internal::CaptureStderr();
  EXPECT_EQ(close_file(fp), EOF);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Close failed: Bad file descriptor\n");
}

TEST(Files, FlushOutputReportsWhatCouldNotBeWritten) {
  struct {
    const char *path;
    bool set_error;
    int result;
    const char *message;
  } cases[] = {
      {"", false, 0, ""},
      {"/dev/full", false, EOF, "Write to out failed: No space left on device\n"},
      {"", true, EOF, "Write to out failed: Bad file descriptor\n"},
  };
  for (const auto &c : cases) {
    TempFile file;
    std::FILE *fp = std::fopen(*c.path != '\0' ? c.path : file.path().c_str(), "w");
    ASSERT_NE(fp, nullptr);
    // Capturing flushes every stream, so it starts before the data is buffered.
    testing::internal::CaptureStderr();
    std::fputs("report\n", fp);
    if (c.set_error) std::fgetc(fp);
    EXPECT_EQ(flush_output(fp, "out"), c.result) << c.path << c.set_error;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message) << c.path << c.set_error;
    std::fclose(fp);
    if (c.result == 0) {
      EXPECT_EQ(file.contents(), "report\n");
    }
  }
}

struct FatalExit {
  int status;
};

[[noreturn]] void throw_fatal_exit(int status) { throw FatalExit{status}; }

TEST(FatalExitHandler, TakesOverTheFatalPathsUntilReset) {
  set_fatal_exit_handler(throw_fatal_exit);
  std::FILE *fp = input("x");
  int status = -1;
  testing::internal::CaptureStdout();
  try {
    int_read(fp);
  } catch (const FatalExit &e) {
    status = e.status;
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "int_read: input error.\n");
  EXPECT_EQ(status, 1);
  std::fclose(fp);
  testing::internal::CaptureStdout();
  try {
    eprintf("out of memory");
  } catch (const FatalExit &e) {
    status = e.status;
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "out of memory");
  EXPECT_EQ(status, 2);
  set_fatal_exit_handler(nullptr);
  EXPECT_EXIT(fatal_exit(3), testing::ExitedWithCode(3), "");
}

TEST(Printtime, MillisecondsBelowOneSecondSecondsFromOne) {
  struct {
    int t0, t1;
    const char *expected;
  } cases[] = {
      {0, 999, "Program: p\nCPU time: 999 milliseconds\n"},
      {1, 1001, "Program: p\nCPU time: 1 seconds\n"},
      {500, 2000, "Program: p\nCPU time: 1.5 seconds\n"},
      {0, 0, "Program: p\nCPU time: 0 milliseconds\n"},
      {INT_MIN, INT_MAX, "Program: p\nCPU time: 4.29497e+06 seconds\n"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(printed([&](std::FILE *fp) { printtime(fp, "p", c.t0, c.t1); }), c.expected)
        << c.t0 << " " << c.t1;
}

TEST(Printdatetime, AsctimeLineFollowedByAnEmptyLine) {
  std::string text = printed([](std::FILE *fp) { printdatetime(fp); });
  ASSERT_EQ(text.rfind("Date and time: ", 0), 0u) << text;
  // "Www Mmm dd hh:mm:ss yyyy\n" then the line end of the format.
  EXPECT_EQ(text.size(), std::string("Date and time: ").size() + 25 + 1);
  EXPECT_EQ(text.substr(text.size() - 2), "\n\n");
  EXPECT_EQ(text[15 + 13], ':');
}

}  // namespace
