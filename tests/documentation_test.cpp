// The help text, the manual page and the README say the same: every option of the help is in both, the help's
// exit statuses and examples stand in the manual page word for word, and the README's commands are the ones
// that work.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/options.h"
#include "tests/program_runner.h"

namespace {

using namespace contmon::app;

const std::filesystem::path kSource = CONTMON_SOURCE_DIR;

// text with runs of white space made one blank.
std::string squeezed(const std::string &text) {
  std::string out;
  std::istringstream words(text);
  for (std::string word; words >> word;) out += (out.empty() ? "" : " ") + word;
  return out;
}

// The words of a roff request's arguments, a quoted argument as one.
std::vector<std::string> request_arguments(const std::string &arguments) {
  std::vector<std::string> words;
  const std::regex word(R"re("([^"]*)"|(\S+))re");
  for (std::sregex_iterator m(arguments.begin(), arguments.end(), word), end; m != end; ++m)
    words.push_back((*m)[1].matched ? (*m)[1].str() : (*m)[2].str());
  return words;
}

// The manual page as it reads: roff requests and font changes dropped, escaped dashes plain, the arguments of
// the alternating-font requests (.BR, .IR, ...) run together as they print.
std::string manual_text() {
  std::string text;
  const std::regex request(R"(^\.([A-Za-z]+) ?(.*)$)");
  for (std::string line : lines_of(read_file(kSource / "doc/contmon.1"))) {
    line = std::regex_replace(line, std::regex(R"(\\-)"), "-");
    line = std::regex_replace(line, std::regex(R"(\\f[BIRP])"), "");
    std::smatch m;
    if (std::regex_match(line, m, request)) {
      const std::string name = m[1];
      if (name == "TH" || name == "SH") continue;
      std::string joined;
      for (const std::string &argument : request_arguments(m[2]))
        joined += (joined.empty() || name.size() == 2 ? "" : " ") + argument;
      line = joined;
    }
    text += line + "\n";
  }
  return squeezed(text);
}

// The lines of the help between the heading and the next empty line.
std::vector<std::string> help_section(const std::string &heading) {
  const std::vector<std::string> lines = lines_of(help_text("contmon"));
  std::vector<std::string> section;
  auto line = std::find(lines.begin(), lines.end(), heading);
  if (line != lines.end())
    for (++line; line != lines.end() && !line->empty(); ++line) section.push_back(*line);
  return section;
}

TEST(Documentation, EveryOptionOfTheTableIsInTheHelpTheManualPageTheReadmeAndTheFuzzDictionary) {
  const std::string help = help_text("contmon");
  const std::string manual = manual_text();
  const std::string readme = read_file(kSource / "README.md");
  const std::string dictionary = read_file(kSource / "fuzz/dialogue.dict");
  int options = 0;
  for (const OptionEntry &option : option_table()) {
    const std::string with_value = std::string(option.name) + (option.value ? std::string(" ") + option.value : "");
    EXPECT_NE(help.find(with_value), std::string::npos) << with_value;
    EXPECT_NE(manual.find(with_value), std::string::npos) << with_value;
    EXPECT_NE(readme.find("`" + with_value), std::string::npos) << with_value;
    const std::string token = std::string(1, '"').append(option.name).append(1, '"');
    EXPECT_NE(dictionary.find(token), std::string::npos) << option.name;
    ++options;
  }
  EXPECT_GE(options, 17);
  // And the help names no option the table lacks.
  const std::regex named(R"((^|[ ,])(--[a-z][a-z-]+))");
  for (std::sregex_iterator m(help.begin(), help.end(), named), end; m != end; ++m)
    EXPECT_NE(find_option((*m)[2].str()), nullptr) << (*m)[2];
}

TEST(Documentation, TheHelpsExitStatusesAndExamplesStandInTheManualPage) {
  const std::string manual = manual_text();
  // Each status with its meaning, and each example with what it does, may wrap differently.
  for (const char *heading : {"Exit status:", "Examples:"}) {
    std::vector<std::string> entries;
    for (const std::string &line : help_section(heading)) {
      const bool starts_entry = line.compare(0, 3, "  0") == 0 || line.compare(0, 3, "  1") == 0 ||
                                line.compare(0, 3, "  2") == 0 || line.compare(0, 10, "  contmon ") == 0 ||
                                line.compare(0, 10, "  contmon-") == 0;
      if (starts_entry || entries.empty())
        entries.push_back(line);
      else
        entries.back() += " " + line;
    }
    EXPECT_GE(entries.size(), 2u) << heading;
    for (const std::string &entry : entries)
      EXPECT_NE(manual.find(squeezed(entry)), std::string::npos) << squeezed(entry);
  }
}

TEST(Documentation, TheReadmeStartsWithTheCommandsThatBuildAndTest) {
  const std::string readme = read_file(kSource / "README.md");
  const std::string ci = read_file(kSource / ".ci/run");
  const std::string test_command =
      "cmake -S . -B build && cmake --build build -j2 && ctest --test-dir build --output-on-failure "
      "--no-tests=error";
  EXPECT_LT(readme.find("cmake --build build -j2 --target contmon contmon-exact && ./build/contmon"),
            readme.find("## "));
  EXPECT_LT(readme.find(test_command), readme.find("## "));
  EXPECT_NE(ci.find(test_command), std::string::npos);
  EXPECT_NE(readme.find("apt-get install cmake g++ libcli11-dev nlohmann-json3-dev libgtest-dev libbenchmark-dev"),
            std::string::npos);
}

}  // namespace
