// Text helpers. Numbers go through std::to_chars and std::from_chars, which
// ignore the locale and give the same digits everywhere. Where the standard
// library has no floating-point to_chars (the WebAssembly build's libc++),
// CONTMON_PRINTF_NUMBERS selects printf and strtod in the C locale instead,
// arranged to give the same bytes.
#include "core/text.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#if defined(__EMSCRIPTEN__) && !defined(CONTMON_PRINTF_NUMBERS)
#define CONTMON_PRINTF_NUMBERS 1
#endif

namespace contmon {

namespace {

#if CONTMON_PRINTF_NUMBERS
// printf's exact conversions give to_chars' digits for a fixed count of decimals or of significant digits.
std::string chars(double value, std::chars_format format, int precision) {
  std::string text = format_string(format == std::chars_format::fixed ? "%.*f" : "%.*g", precision, value);
#else
template <class... Format>
std::string chars(double value, Format... format) {
  char buffer[400];  // a fixed double needs at most 309 digits before the point
  const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value, format...);
  if (r.ec != std::errc()) return "?";
  std::string text(buffer, r.ptr);
#endif
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

#if CONTMON_PRINTF_NUMBERS
// The fewest significant digits that read back as x (of those, the nearest to x), written in fixed or
// scientific notation, whichever is shorter, fixed on a tie: std::to_chars' choice.
std::string shortest(double x) {
  if (!std::isfinite(x) || x == 0.0) return format_string("%g", x);
  const std::string sign = x < 0 ? "-" : "";
  unsigned long long digits = 0;  // x is digits * 10^power
  int power = 0;
  for (int precision = 0; precision <= 16; ++precision) {
    const std::string sci = format_string("%.*e", precision, std::fabs(x));
    const std::size_t e = sci.find('e');
    std::string mantissa = sci.substr(0, e);
    if (mantissa.size() > 1) mantissa.erase(1, 1);  // the point
    digits = std::stoull(mantissa);
    power = std::atoi(sci.c_str() + e + 1) - precision;
    // The nearest decimal of this length, else (where the gap below x is narrower, at a power of two) a
    // neighbour of it, may read back.
    bool found = false;
    for (const unsigned long long candidate : {digits, digits + 1, digits - 1}) {
      if (std::strtod(format_string("%llue%d", candidate, power).c_str(), nullptr) == std::fabs(x)) {
        digits = candidate;
        found = true;
        break;
      }
    }
    if (found) break;
  }
  while (digits % 10 == 0) {
    digits /= 10;
    ++power;
  }
  const std::string text = std::to_string(digits);
  const int n = static_cast<int>(text.size());
  const int exponent = power + n - 1;
  const std::string scientific = sign + text.substr(0, 1) + (n > 1 ? "." + text.substr(1) : "") +
                                 format_string("e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
  std::string plain;
  if (power >= 0) {
    plain = format_string("%.0f", x);  // a whole number is written with all its digits, as %f writes it
  } else if (exponent >= 0) {
    plain = sign + text.substr(0, static_cast<std::size_t>(exponent) + 1) + "." + text.substr(static_cast<std::size_t>(exponent) + 1);
  } else {
    plain = sign + "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + text;
  }
  return plain.size() <= scientific.size() ? plain : scientific;
}

bool chars_to_double(std::string_view text, double *value) {
  // from_chars takes no sign '+', no leading blanks and no hexadecimal; out of range is an overflow to
  // infinity or an underflow to zero.
  if (text.empty() || text.front() == '+' || text.find_first_of(" \t\n\v\f\rxX") != std::string_view::npos) return false;
  const std::string copy(text);
  char *end = nullptr;
  errno = 0;
  const double v = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || std::isinf(v) != (copy.find_first_of("iI") != std::string::npos) ||
      (v == 0.0 && errno == ERANGE))
    return false;
  *value = v;
  return true;
}
#else
bool chars_to_double(std::string_view text, double *value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return error == std::errc() && end == text.data() + text.size();
}

std::string shortest(double x) {
  char buffer[64];
  const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, x);
  return r.ec == std::errc() ? std::string(buffer, r.ptr) : format_string("%.17g", x);
}
#endif

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
