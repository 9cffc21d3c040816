// The progress line: nothing before the delay or when disabled, updates at most ten times a second, each
// one written over the last, and erased at the end; on a clock the test sets.
#include "app/progress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using contmon::app::ProgressLine;

ProgressLine::Clock::time_point test_now;
ProgressLine::Clock::time_point fake_clock() { return test_now; }

std::string contents(std::FILE *file) {
  std::string s;
  std::rewind(file);
  for (int c; (c = std::fgetc(file)) != EOF;) s.push_back(static_cast<char>(c));
  return s;
}

struct Step {
  int at_ms;         // when, after the line was made; -1: clear
  const char *text;  // what is shown
};

std::string play(bool enabled, const std::vector<Step> &steps) {
  std::FILE *file = std::tmpfile();
  test_now = ProgressLine::Clock::time_point{};
  {
    ProgressLine line(file, enabled, std::chrono::seconds(1), fake_clock);
    for (const Step &step : steps) {
      if (step.at_ms < 0) {
        line.clear();
        continue;
      }
      test_now = ProgressLine::Clock::time_point{} + std::chrono::milliseconds(step.at_ms);
      line.show(step.text);
    }
    std::fprintf(file, "|");  // the destructor erases what is still shown after this mark
  }
  std::string text = contents(file);
  std::fclose(file);
  return text;
}

TEST(ProgressLine, ShowsAfterTheDelayOverwritesAndErases) {
  const std::vector<Step> steps = {{500, "early"},        {1200, "level 3"}, {1250, "too soon"},
                                   {2400, "row 1 of 2"},  {-1, ""},          {2600, "row 2"},
                                   {2650, "too soon too"}};
  EXPECT_EQ(play(true, steps),
            "\rlevel 3 (1 s)"
            "\rrow 1 of 2 (2 s)"
            "\r                \r"
            "\rrow 2 (2 s)"
            "|\r           \r");
  EXPECT_EQ(play(false, steps), "|");
}

TEST(ProgressLine, AShorterTextBlanksTheRestOfTheLonger) {
  EXPECT_EQ(play(true, {{1000, "a longer text"}, {1100, "short"}}),
            "\ra longer text (1 s)"
            "\rshort (1 s)        \rshort (1 s)"
            "|\r           \r");
}

TEST(PaceNotice, SaysOncePerStageWhenTheFirstSecondsPromiseMoreThanAMinute) {
  using contmon::app::PaceNotice;
  test_now = ProgressLine::Clock::time_point{};
  PaceNotice notice(fake_clock);
  auto at = [](int ms) { test_now = ProgressLine::Clock::time_point{} + std::chrono::milliseconds(ms); };
  EXPECT_EQ(notice.update("searching", 0.0), "");
  at(1000);
  EXPECT_EQ(notice.update("searching", 0.001), "");  // too soon to judge
  at(3000);
  EXPECT_EQ(notice.update("searching", 0.5), "");     // 6 s in all
  EXPECT_EQ(notice.update("table", 0.0), "");         // a new stage starts its own clock
  at(5000);
  EXPECT_EQ(notice.update("table", 0.02), "table will take about 2 minutes more at this pace");  // 100 s
  at(8000);
  EXPECT_EQ(notice.update("table", 0.03), "");  // said once
  EXPECT_EQ(notice.update("rows", 0.0), "");
  at(11000);
  EXPECT_EQ(notice.update("rows", 0.04), "rows will take about 2 minutes more at this pace");  // 75 s in all
}

}  // namespace
