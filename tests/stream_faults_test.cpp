// The built program with standard output closed, full or a broken pipe: it must
// end with its statuses (never a signal), say when the report was lost, and
// leave the boundary file as a failed input leaves it.
#include <gtest/gtest.h>

#include <string>

#include "tests/case_name.h"
#include "tests/program_runner.h"

namespace {

struct StreamFaultCase {
  const char *name;
  OutputTarget target;
  const char *input;
  int status;
  const char *err;
  bool file_written;  // else the boundary file that was there is left as it was
};

void PrintTo(const StreamFaultCase &c, std::ostream *os) { *os << c.name; }

class StreamFaults : public testing::TestWithParam<StreamFaultCase> {};

TEST_P(StreamFaults, StatusMessageAndBoundaryFile) {
  const StreamFaultCase &c = GetParam();
  ScratchDirectory dir;
  write_file(dir.path() / "_bndry_.dat", "kept\n");
  ProgramRun run = run_program(CONTMON_EXE, c.input, dir.path(), c.target);
  EXPECT_EQ(run.status, c.status);
  EXPECT_EQ(run.err, c.err);
  std::string file = read_file(dir.path() / "_bndry_.dat");
  if (c.file_written) {
    EXPECT_EQ(file.substr(0, 11), "0.5\n1\n-1 1\n");
    EXPECT_EQ(lines_of(file).size(), 7u);
  } else {
    EXPECT_EQ(file, "kept\n");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, StreamFaults,
    testing::Values(
        StreamFaultCase{"CompleteRunWithStdoutClosed", OutputTarget::kClosed, "1 0.5 0.9\n", 1,
                        "contmon: Write to standard output failed: Bad file descriptor\n", true},
        StreamFaultCase{"CompleteRunIntoBrokenPipe", OutputTarget::kBrokenPipe, "1 0.5 0.9\n", 1,
                        "contmon: Write to standard output failed: Broken pipe\n", true},
        StreamFaultCase{"CompleteRunIntoFullDevice", OutputTarget::kFullDevice, "1 0.5 0.9\n", 1,
                        "contmon: Write to standard output failed: No space left on device\n", true},
        StreamFaultCase{"BadKWithStdoutClosed", OutputTarget::kClosed, "0 0.3 0.05\n", 1, "", false},
        StreamFaultCase{"BadPhiIntoBrokenPipe", OutputTarget::kBrokenPipe, "10 0.3 1\n", 1, "", false},
        StreamFaultCase{"EndOfInputIntoBrokenPipe", OutputTarget::kBrokenPipe, "10 0.3", 1, "", false},
        StreamFaultCase{"UnreadableThetaIntoFullDevice", OutputTarget::kFullDevice, "10 x\n", 1, "", false}),
    case_name<StreamFaultCase>);

}  // namespace
