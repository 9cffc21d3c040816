// Small text helpers shared by every layer: printf into a string, numbers
// written the same way on every machine, and words from users made safe to
// quote on one line.
#pragma once

#include <string>
#include <string_view>

namespace contmon {

/// printf into a string (the C locale's conversions).
std::string format_string(const char *format, ...) __attribute__((format(printf, 1, 2)));

/// The shortest decimal text that reads back as x, e.g. "0.3", "1e-05" ("nan", "inf" for those).
std::string shortest(double x);

/// The number the whole of text writes in std::from_chars' syntax (no '+', no blanks); false when text is not
/// one or the number is beyond the range of a double (an overflow, or an underflow to zero).
bool chars_to_double(std::string_view text, double *value);

/// x with exactly `decimals` decimals, e.g. fixed(0.5, 2) = "0.50"; "-0.00" is written "0.00".
std::string fixed(double x, int decimals);

/// x as printf's %g would print it in the C locale with `significant` digits; "-0" is written "0".
std::string general(double x, int significant = 6);

/// text with control characters shown as '?', so that a message stays on one line.
std::string one_line(std::string text);

/// text as a message may show it: well-formed UTF-8 as it is, other bytes and a byte-order mark as \xNN,
/// control characters as '?'.
std::string visible(std::string_view text);

/// text in single quotes as visible() shows it, cut between characters to at most `most` bytes shown, "..."
/// added.
std::string in_quotes(std::string_view text, std::size_t most = 80);

}  // namespace contmon
