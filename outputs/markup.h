// Text and numbers for the SVG picture and the HTML page: markup escaping and
// number formats that never depend on the locale.
#pragma once

#include <charconv>
#include <string>
#include <string_view>
#include <system_error>

namespace markup {

/// text with the five characters that markup reserves written as entities, the rest as it is (UTF-8).
inline std::string escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

namespace detail {

template <class... Format>
std::string chars(double value, Format... format) {
  char buffer[64];
  const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value, format...);
  if (r.ec != std::errc()) return "?";
  std::string text(buffer, r.ptr);
  // "-0.00" reads as a sign without a value: print it as zero.
  if (text.size() > 1 && text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos)
    text.erase(0, 1);
  return text;
}

}  // namespace detail

/// value with exactly `decimals` decimals, e.g. fixed(0.5, 2) = "0.50".
inline std::string fixed(double value, int decimals) {
  return detail::chars(value, std::chars_format::fixed, decimals);
}

/// The shortest decimal text that reads back as value, e.g. "0.3".
inline std::string shortest(double value) { return detail::chars(value); }

/// value as printf's %g would print it in the C locale with `significant` digits.
inline std::string general(double value, int significant = 6) {
  return detail::chars(value, std::chars_format::general, significant);
}

}  // namespace markup
