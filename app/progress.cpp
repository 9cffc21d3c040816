// The progress line: carriage return, the text, and blanks over the rest of
// the previous text; nothing at all unless the stream is a terminal.
#include "app/progress.h"

#include "app/interrupt.h"

#include <unistd.h>

#include <cmath>

namespace contmon::app {

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
  if (stream_ == stderr) interrupt_erases_line(width_);
}

void ProgressLine::clear() {
  if (width_ == 0) return;
  std::fprintf(stream_, "\r%*s\r", static_cast<int>(width_), "");
  std::fflush(stream_);
  width_ = 0;
  if (stream_ == stderr) interrupt_erases_line(0);
}

std::string PaceNotice::update(std::string_view stage, double fraction) {
  constexpr double kLong = 60.0;     // seconds that are worth a word
  constexpr double kMeasured = 2.0;  // seconds of a stage before its pace is judged
  const Clock::time_point now = now_();
  if (stage != stage_) {
    stage_ = std::string(stage);
    started_ = now;
    told_ = false;
  }
  const double seconds = std::chrono::duration<double>(now - started_).count();
  if (told_ || seconds < kMeasured || !(fraction > 0.0) || seconds / fraction <= kLong) return "";
  told_ = true;
  const long minutes = std::lround(std::ceil((seconds / fraction - seconds) / 60.0));
  return stage_ + " will take about " + std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes") +
         " more at this pace";
}

}  // namespace contmon::app
