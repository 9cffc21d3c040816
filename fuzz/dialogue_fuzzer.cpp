// libFuzzer target: arbitrary bytes as the dialogue's standard input, up to the
// point where the boundary search would start, and the same bytes cut at NUL
// bytes into an argument vector for the option parser. Any broken rule aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/command_line_harness.h"
#include "fuzz/dialogue_harness.h"

namespace {

void judge(const char *what, const std::string &fault) {
  if (fault.empty()) return;
  std::fprintf(stderr, "%s fault: %s\n", what, fault.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  judge("dialogue", check_dialogue(data, size));
  judge("command line", check_command_line(data, size));
  return 0;
}
