// The progress display: one status line on a terminal
// while a long computation runs, written only when the stream is a terminal
// and the computation has lasted about a second, and erased when it ends.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

namespace contmon::app {

/// A status line rewritten in place on a terminal.
class ProgressLine {
 public:
  using Clock = std::chrono::steady_clock;

  /// A line on stream, shown only when enabled and once delay has passed since construction; now is the
  /// clock.
  ProgressLine(std::FILE *stream, bool enabled, Clock::duration delay,
               Clock::time_point (*now)() = Clock::now);

  /// A line on standard error, enabled when standard error is a terminal, shown after about a second.
  static ProgressLine on_standard_error();

  ~ProgressLine() { clear(); }
  ProgressLine(const ProgressLine &) = delete;
  ProgressLine &operator=(const ProgressLine &) = delete;

  /// Shows text (one line, no line feed) with the time elapsed, when the line is enabled and due; updates at
  /// most ten times a second.
  void show(const std::string &text);

  /// Erases the line, if one is shown.
  void clear();

 private:
  std::FILE *stream_;
  bool enabled_;
  Clock::time_point (*now_)();
  Clock::time_point start_;
  Clock::time_point shown_at_;
  Clock::duration delay_;
  std::size_t width_ = 0;  // of the text on the terminal now; 0 when none is shown
};

/// Tells, once per stage, when a stage will take more than a minute at the pace of its first seconds: a long
/// simulation says so on standard error instead of running on without a word.
class PaceNotice {
 public:
  using Clock = ProgressLine::Clock;

  /// Notices on the clock now.
  explicit PaceNotice(Clock::time_point (*now)() = Clock::now) : now_(now) {}

  /// The stage has reached fraction (0 to 1): the notice to print, "" when there is none now.
  std::string update(std::string_view stage, double fraction);

 private:
  Clock::time_point (*now_)();
  std::string stage_;
  Clock::time_point started_{};
  bool told_ = false;
};

}  // namespace contmon::app
