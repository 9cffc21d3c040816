// libFuzzer target: arbitrary bytes as a rule file for --evaluate, their first
// line as a --looks list, and a schedule of looks from them. Any broken rule
// aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/rule_file_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string fault = check_rule_input(data, size);
  if (fault.empty()) return 0;
  std::fprintf(stderr, "%s\n", fault.c_str());
  std::abort();
}
