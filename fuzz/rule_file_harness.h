// Runs the reader of rule files (--evaluate), the --looks reader and the
// schedule of looks on arbitrary bytes, and judges each outcome by rules of
// its own. Used by the fuzz target and by the test that replays its corpus.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "contmon/design.h"

using contmon::RuleFile;

/// The file name the harness gives read_rule_file.
inline constexpr const char *kFuzzRuleFileName = "rules.txt";

/// Empty when read_rule_file(kFuzzRuleFileName, text) may return message and file: a valid rule that agrees
/// with the file's own lines and an empty message, or one message line naming the file and a line within it.
std::string rule_file_fault(const std::string &text, const std::string &message, const RuleFile &file);

/// Empty when read_looks(text) may return message and looks: the looks the list gives, or a message for a
/// list that is not valid.
std::string looks_fault(const std::string &text, const std::string &message, const std::vector<int> &looks);

/// Empty when schedule_looks(K, list, cohort, start) may return message and looks.
std::string schedule_fault(int K, const std::vector<int> &list, int cohort, int start,
                           const std::string &message, const std::vector<int> &looks);

/// Reads data as a rule file, its first line as a --looks list, and schedules the looks with K, a cohort and
/// a start taken from the rule or the last bytes; the first fault found, or "".
std::string check_rule_input(const std::uint8_t *data, std::size_t size);
