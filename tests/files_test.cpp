// The application's files and readers: the dialogue's reading of K, THETA and
// PHI, whole-file replacement and its failures as messages, the flush of the
// report, and the reading of a rule file with its size limit.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string>

#include "app/app.h"
#include "app/files.h"
#include "tests/program_runner.h"

namespace {

using namespace contmon::app;
namespace fs = std::filesystem;

// A read stream over the given text.
std::FILE *input(const std::string &text) {
  std::FILE *fp = std::tmpfile();
  std::fputs(text.c_str(), fp);
  std::rewind(fp);
  return fp;
}

// What read_data does with text: whether it accepted the three values, the values stored and what it printed.
struct Reading {
  bool accepted = false;
  int K = 0;
  double THETA = 0.0, PHI = 0.0;
  std::string printed;
  int next = EOF;  // the character after what was read
};

Reading read_from(const std::string &text) {
  Reading r;
  std::FILE *fp = input(text);
  testing::internal::CaptureStdout();
  r.accepted = read_data(fp, &r.K, &r.THETA, &r.PHI);
  r.printed = testing::internal::GetCapturedStdout();
  r.next = std::fgetc(fp);
  std::fclose(fp);
  return r;
}

TEST(ReadData, ValuesMaySpreadOverLinesAndTakeAnyNotationFscanfTakes) {
  for (const char *text : {"12 0.5 0.3!", "12\n\n  0.5\n3e-1!", "+12\t.5 0x1.3333333333333p-2!"}) {
    const Reading r = read_from(text);
    EXPECT_TRUE(r.accepted) << text;
    EXPECT_EQ(r.K, 12) << text;
    EXPECT_EQ(r.THETA, 0.5) << text;
    EXPECT_EQ(r.PHI, 0.3) << text;
    EXPECT_EQ(r.printed, "") << text;
    EXPECT_EQ(r.next, '!') << text;
  }
}

struct Refusal {
  const char *text;
  const char *message;
};

void PrintTo(const Refusal &c, std::ostream *os) { *os << '"' << c.text << '"'; }

class RefusedReading : public testing::TestWithParam<Refusal> {};

TEST_P(RefusedReading, PrintsOneMessageOnStandardOutput) {
  const Reading r = read_from(GetParam().text);
  EXPECT_FALSE(r.accepted);
  EXPECT_EQ(r.printed, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusedReading,
    testing::Values(Refusal{"", "int_read: end of file error.\n"}, Refusal{" \n\t ", "int_read: end of file error.\n"},
                    Refusal{"abc", "int_read: input error.\n"}, Refusal{"- 5", "int_read: input error.\n"},
                    Refusal{".5", "int_read: input error.\n"},
                    Refusal{"2147483648 0.5 0.5", "ReadData: n = 2147483647 is outside [1:255]\n"},
                    Refusal{"-99999999999999999999 0.5 0.5", "ReadData: n = -2147483648 is outside [1:255]\n"},
                    Refusal{"000000000000000000000000256 0.5", "ReadData: n = 256 is outside [1:255]\n"},
                    Refusal{"40.5 0.2 0.1", "ReadData: K = '40.5' is not a whole number in [1:255]\n"},
                    Refusal{"10", "dbl_read: end of file error.\n"}, Refusal{"10 x1", "dbl_read: input error.\n"},
                    Refusal{"10 1 0.1", "ReadData: theta = 1 is outside (0,1)\n"},
                    Refusal{"10 nan 0.1", "ReadData: theta = nan is outside (0,1)\n"},
                    Refusal{"10 0.3", "dbl_read: end of file error.\n"},
                    Refusal{"10 0.3 -inf", "ReadData: phi = -inf is outside (0,1)\n"}));

// A scratch folder with a file in it.
class FilesTest : public testing::Test {
 protected:
  ScratchDirectory dir;
  std::string path(const char *name) const { return (dir.path() / name).string(); }
};

TEST_F(FilesTest, ReplacementWritesWholeKeepsModeAndLinksAndLeavesNoTemporaryFile) {
  const std::string target = path("target.dat");
  write_file(target, "old\n");
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  fs::create_symlink("target.dat", dir.path() / "link.dat");
  EXPECT_EQ(save_text_file(path("link.dat"), "new\n"), "");
  EXPECT_EQ(read_file(target), "new\n");
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link.dat"));
  struct stat st;
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  // The file and the link, no temporary file.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

TEST_F(FilesTest, FailuresAreMessagesThatNameTheFileAndTheReason) {
  EXPECT_EQ(save_text_file(path("no-folder/x.dat"), "x"),
            "Open of " + path("no-folder/x.dat") + " with mode=w failed: a temporary file cannot be created in " +
                path("no-folder") + ": No such file or directory");
  EXPECT_EQ(save_text_file(dir.path().string(), "x"),
            "Open of " + dir.path().string() + " with mode=w failed: Is a directory");
  EXPECT_EQ(save_text_file("/dev/full", "x"), "Close failed: No space left on device");
}

TEST(FlushOutput, ReportsWhatCouldNotBeWritten) {
  std::FILE *full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  std::fputs("report\n", full);
  EXPECT_EQ(flush_output(full, "out"), "Write to out failed: No space left on device");
  std::fclose(full);
  std::FILE *fine = std::fopen("/dev/null", "w");
  std::fputs("report\n", fine);
  EXPECT_EQ(flush_output(fine, "out"), "");
  std::fgetc(fine);  // reading a stream opened for writing sets its error indicator: data may have been lost
  EXPECT_EQ(flush_output(fine, "out"), "Write to out failed: Bad file descriptor");
  std::fclose(fine);
}

TEST_F(FilesTest, ReadWholeFileStopsAtItsLimit) {
  write_file(path("rule.txt"), std::string(100, 'x'));
  std::string text;
  EXPECT_EQ(read_whole_file(path("rule.txt"), &text, 100), "");
  EXPECT_EQ(text.size(), 100u);
  EXPECT_NE(read_whole_file(path("rule.txt"), &text, 99), "");
  EXPECT_EQ(read_whole_file(path("missing.txt"), &text, 100), "No such file or directory");
}

TEST(ProgramName, IsTheLastPartOfTheInvocation) {
  EXPECT_EQ(program_name("/usr/bin/contmon-exact"), "contmon-exact");
  EXPECT_EQ(program_name("./contmon"), "contmon");
  EXPECT_EQ(program_name("contmon"), "contmon");
  EXPECT_EQ(program_name("folder/"), "contmon");
  EXPECT_EQ(program_name(nullptr), "contmon");
}

}  // namespace
