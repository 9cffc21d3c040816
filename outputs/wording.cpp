// The small pieces of wording the writers share: lists of looks, shape
// names, probabilities in a sentence, and word wrapping.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "outputs/outputs_internal.h"

namespace contmon {

bool every_patient(const std::vector<int> &looks, int K) {
  if (looks.size() != static_cast<std::size_t>(K > 0 ? K : 0)) return false;
  for (std::size_t i = 0; i < looks.size(); ++i) {
    if (looks[i] != static_cast<int>(i) + 1) return false;
  }
  return true;
}

std::string look_list(const std::vector<int> &looks) {
  constexpr std::size_t kShortestCondensed = 5;  // "5, 10, 15 and 20" is no longer than "5, 10, ..., 20"
  std::vector<std::string> items;
  bool last_is_single = false;
  for (std::size_t i = 0; i < looks.size();) {
    std::size_t end = i + 1;  // one past the arithmetic run starting at i
    if (i + 1 < looks.size()) {
      const int step = looks[i + 1] - looks[i];
      end = i + 2;
      while (end < looks.size() && looks[end] - looks[end - 1] == step) ++end;
    }
    if (end - i >= kShortestCondensed) {
      items.push_back(format_string("%d, %d, ..., %d", looks[i], looks[i + 1], looks[end - 1]));
      last_is_single = false;
      i = end;
    } else {
      items.push_back(std::to_string(looks[i]));
      last_is_single = true;
      ++i;
    }
  }
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() && last_is_single ? " and " : ", ";
    text += items[i];
  }
  return text;
}

std::string looks_phrase(const std::vector<int> &looks, int K) {
  if (every_patient(looks, K)) return "a look after every patient";
  if (looks.size() == 1) return std::string("one look, at patient ") + std::to_string(looks[0]);
  return std::string("looks at patients ") + look_list(looks);
}

std::string probability_words(double p) {
  constexpr int kMostDecimals = 9;
  if (!(p > 0.001 && p < 0.999)) {
    if (p == 0.0 || p == 1.0 || std::isnan(p)) return format_string("%g", p);
    // Two significant digits of p, or of its distance from 1.
    const double distance = p < 0.5 ? p : 1.0 - p;
    const int decimals = 1 - static_cast<int>(std::floor(std::log10(distance)));
    if (decimals > kMostDecimals) return p < 0.5 ? "less than 0.000000001" : "more than 0.999999999";
    return format_string("%.*f", decimals, p);
  }
  return format_string("%.3f", p);
}

std::string wrap_text(const std::string &text, std::size_t width) {
  // The words, with "=" and its neighbours kept as one ("P1 = 0.5" is not broken).
  std::vector<std::string> words;
  bool join_next = false;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    start = end + 1;
    if (word.empty()) continue;
    const bool equals = word == "=";
    if ((equals || join_next) && !words.empty()) {
      words.back() += ' ';
      words.back() += word;
    } else {
      words.push_back(word);
    }
    join_next = equals;
  }
  std::string wrapped;
  std::string line;
  for (const std::string &word : words) {
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      wrapped += line;
      wrapped += '\n';
      line.clear();
    }
    if (!line.empty()) line += ' ';
    line += word;
  }
  if (!line.empty()) wrapped += line + "\n";
  return wrapped;
}

std::string standard_error_text(double value, int decimals) {
  const std::string text = format_string("%.*f", decimals, value);
  if (value > 0.0 && text.find_first_not_of("0.") == std::string::npos)
    return "< " + format_string("%.*f", decimals + 1, 0.5 * std::pow(10.0, -decimals));
  return text;
}

std::string local_date_text(std::time_t moment) {
  const std::tm *local = std::localtime(&moment);
  if (local == nullptr) return "";
  // asctime's layout as C defines it, written out: Windows' asctime pads the day with 0.
  static const char kDays[] = "SunMonTueWedThuFriSat", kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
  return format_string("%.3s %.3s%3d %.2d:%.2d:%.2d %d", kDays + 3 * local->tm_wday, kMonths + 3 * local->tm_mon,
                       local->tm_mday, local->tm_hour, local->tm_min, local->tm_sec, 1900 + local->tm_year);
}

std::string utc_timestamp_text(std::time_t moment) {
  std::tm utc{};
#if defined(_WIN32)
  if (gmtime_s(&utc, &moment) != 0) return "";
#else
  if (gmtime_r(&moment, &utc) == nullptr) return "";
#endif
  char text[32];
  return std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc) > 0 ? text : "";
}

int rate_decimals(const std::vector<double> &rates) {
  constexpr int kMost = 9;
  int decimals = 2;
  for (double rate : rates) {
    while (decimals < kMost) {
      const double scaled = rate * std::pow(10.0, decimals);
      // A whole number of units, and not a tiny rate rounded away to none.
      if (std::fabs(scaled - std::round(scaled)) < 1e-6 && (std::round(scaled) != 0.0 || rate == 0.0)) break;
      ++decimals;
    }
  }
  return decimals;
}

}  // namespace contmon
