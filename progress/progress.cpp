// The progress line: carriage return, the text, and blanks over the rest of
// the previous text; nothing at all unless the stream is a terminal.
#include "progress/progress.h"

#include <unistd.h>

namespace {

constexpr auto kUpdateInterval = std::chrono::milliseconds(100);

}  // namespace

ProgressLine::ProgressLine(std::FILE *stream, bool enabled, Clock::duration delay, Clock::time_point (*now)())
    : stream_(stream), enabled_(enabled), now_(now), start_(now()), shown_at_(start_), delay_(delay) {}

ProgressLine ProgressLine::on_standard_error() {
  return ProgressLine(stderr, isatty(fileno(stderr)) != 0, std::chrono::seconds(1));
}

void ProgressLine::show(const std::string &text) {
  if (!enabled_) return;
  const Clock::time_point now = now_();
  if (now - start_ < delay_ || (width_ > 0 && now - shown_at_ < kUpdateInterval)) return;
  shown_at_ = now;
  const long seconds =
      static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(now - start_).count());
  const std::string line = text + " (" + std::to_string(seconds) + " s)";
  const std::size_t blanks = width_ > line.size() ? width_ - line.size() : 0;
  std::fprintf(stream_, "\r%s%*s", line.c_str(), static_cast<int>(blanks), "");
  if (blanks > 0) std::fprintf(stream_, "\r%s", line.c_str());
  std::fflush(stream_);
  width_ = line.size();
}

void ProgressLine::clear() {
  if (width_ == 0) return;
  std::fprintf(stream_, "\r%*s\r", static_cast<int>(width_), "");
  std::fflush(stream_);
  width_ = 0;
}
