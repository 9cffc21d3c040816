// libFuzzer target: arbitrary bytes as the dialogue's standard input, up to the
// point where the boundary search would start. Any broken rule aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/dialogue_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  std::string fault = check_dialogue(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "dialogue fault: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
