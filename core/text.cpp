// Text helpers. Numbers go through std::to_chars, which ignores the locale and
// gives the same digits everywhere.
#include "core/text.h"

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <system_error>

namespace contmon {

namespace {

template <class... Format>
std::string chars(double value, Format... format) {
  char buffer[400];  // a fixed double needs at most 309 digits before the point
  const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value, format...);
  if (r.ec != std::errc()) return "?";
  std::string text(buffer, r.ptr);
  // "-0.00" reads as a sign without a value: print it as zero.
  if (text.size() > 1 && text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return text;
}

}  // namespace

std::string format_string(const char *format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  return text;
}

std::string shortest(double x) {
  char buffer[64];
  const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, x);
  return r.ec == std::errc() ? std::string(buffer, r.ptr) : format_string("%.17g", x);
}

std::string fixed(double x, int decimals) { return chars(x, std::chars_format::fixed, decimals); }

std::string general(double x, int significant) { return chars(x, std::chars_format::general, significant); }

std::string one_line(std::string text) {
  for (char &c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  return text;
}

std::string visible(std::string_view text) {
  std::string shown;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    // The length of a well-formed UTF-8 sequence starting here, or 0.
    std::size_t length = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (length > text.size() - i) length = 0;
    for (std::size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) length = 0;
    if (length >= 3) {  // overlong forms, surrogates and code points beyond U+10FFFF are not well formed
      const auto second = static_cast<unsigned char>(text[i + 1]);
      if ((c == 0xE0 && second < 0xA0) || (c == 0xED && second >= 0xA0) || (c == 0xF0 && second < 0x90) ||
          (c == 0xF4 && second >= 0x90))
        length = 0;
    }
    const bool byte_order_mark = text.substr(i, 3) == "\xEF\xBB\xBF";
    if (length == 0 || byte_order_mark) {
      for (std::size_t k = 0; k < (byte_order_mark ? 3 : 1); ++k)
        shown += format_string("\\x%02X", static_cast<unsigned char>(text[i + k]));
      i += byte_order_mark ? 3 : 1;
      continue;
    }
    shown.append(text.substr(i, length));
    i += length;
  }
  return one_line(shown);
}

std::string in_quotes(std::string_view text, std::size_t most) {
  std::string shown = visible(text);
  std::size_t cut = text.size();
  if (shown.size() > most) {
    // The longest start whose shown form fits in `most` bytes and begins the whole text's (so that no
    // character is cut in two); an escape stands for one byte but shows as four.
    const std::string whole = std::move(shown);
    shown.clear();
    cut = 0;
    for (std::size_t n = 1; n < text.size(); ++n) {
      std::string start = visible(text.substr(0, n));
      if (whole.compare(0, start.size(), start) != 0) continue;
      if (start.size() > most) break;
      shown = std::move(start);
      cut = n;
    }
  }
  std::string q(1, '\'');
  q += shown;
  if (cut < text.size()) q += "...";
  q += '\'';
  return q;
}

}  // namespace contmon
