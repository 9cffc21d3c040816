// Text as messages show it: typed values quoted, one line, bytes of no character made visible, and long
// values cut between characters to a bounded width.
#include <gtest/gtest.h>

#include <string>

#include "core/text.h"

namespace {

using contmon::in_quotes;

TEST(InQuotes, ShowsTypedTextOnOneLineCutBetweenCharacters) {
  const std::string ff40(40, '\xFF');
  const struct {
    std::string text;
    std::size_t most;
    std::string shown;
  } cases[] = {
      {"0.2", 80, "'0.2'"},
      {"a\tb\x7f", 80, "'a?b?'"},                          // control characters
      {"\xEF\xBB\xBF" "40", 80, "'\\xEF\\xBB\\xBF40'"},    // a byte-order mark
      {"caf\xC3\xA9", 80, "'caf\xC3\xA9'"},                // well-formed UTF-8 as it is
      {"\xC3(\x80", 80, "'\\xC3(\\x80'"},                  // a lead byte without its continuation, a stray one
      {"123456", 4, "'1234...'"},
      {"123456", 6, "'123456'"},
      {"ab\xC3\xA9z", 3, "'ab...'"},                       // not between the two bytes of a character
      {"ab\xC3\xA9z", 4, "'ab\xC3\xA9...'"},
      {"-" + ff40, 40, "'-\\xFF\\xFF\\xFF\\xFF\\xFF\\xFF\\xFF\\xFF\\xFF...'"},  // escapes count as shown
      {"\x80\x80\x80", 8, "'\\x80\\x80...'"},              // stray continuation bytes are cut points too
  };
  for (const auto &c : cases) EXPECT_EQ(in_quotes(c.text, c.most), c.shown) << c.text;
}

}  // namespace
