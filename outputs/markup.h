// Text for the SVG picture and the HTML page: markup escaping.
#pragma once

#include <string>
#include <string_view>


namespace contmon::markup {

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

}  // namespace contmon::markup
