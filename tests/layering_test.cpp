// The layers of the tree: core, design, outputs and app, each including only
// from its own layer and those below it, and the library below app printing,
// reading standard input or ending the process nowhere.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;
const fs::path kSource = CONTMON_SOURCE_DIR;

// The layer of a file of the tree, by its path from the source folder; -1 for files outside the layers.
int layer_of(const std::string &path) {
  static const std::map<std::string, int> kPublicHeaders = {
      {"include/contmon/error.h", 0},   {"include/contmon/limits.h", 0}, {"include/contmon/random.h", 0},
      {"include/contmon/design.h", 1},  {"include/contmon/report.h", 1}, {"include/contmon/version.h", 1},
      {"include/contmon/writers.h", 2}, {"include/contmon/contmon.h", 2}};
  if (const auto it = kPublicHeaders.find(path); it != kPublicHeaders.end()) return it->second;
  static const std::pair<const char *, int> kFolders[] = {{"core/", 0}, {"design/", 1}, {"outputs/", 2}, {"app/", 3}};
  for (const auto &[folder, layer] : kFolders)
    if (path.rfind(folder, 0) == 0) return layer;
  return -1;
}

// The quoted includes of a file, as paths from the source folder.
std::vector<std::string> includes_of(const fs::path &file) {
  std::ifstream in(file);
  std::vector<std::string> included;
  const std::regex include(R"re(^\s*#\s*include\s+"([^"]+)")re");
  for (std::string line; std::getline(in, line);) {
    std::smatch m;
    if (!std::regex_search(line, m, include)) continue;
    const std::string name = m[1];
    included.push_back(name.rfind("contmon/", 0) == 0 ? "include/" + name : name);
  }
  return included;
}

// Every source and header of the layers, as paths from the source folder.
std::vector<std::string> layered_files() {
  std::vector<std::string> files;
  for (const char *folder : {"core", "design", "outputs", "app", "include/contmon"})
    for (const auto &entry : fs::recursive_directory_iterator(kSource / folder)) {
      const std::string ext = entry.path().extension().string();
      if (ext == ".h" || ext == ".cpp" || ext == ".in") files.push_back(fs::relative(entry.path(), kSource).string());
    }
  return files;
}

TEST(Layers, EveryIncludePointsToTheSameLayerOrOneBelow) {
  const std::vector<std::string> files = layered_files();
  ASSERT_GE(files.size(), 40u);
  for (const std::string &file : files) {
    const int layer = layer_of(file.size() > 3 && file.substr(file.size() - 3) == ".in" ? file.substr(0, file.size() - 3)
                                                                                      : file);
    for (const std::string &included : includes_of(kSource / file)) {
      const int below = layer_of(included);
      EXPECT_NE(below, -1) << file << " includes " << included << ", which belongs to no layer";
      EXPECT_LE(below, layer) << file << " includes " << included << " from a layer above it";
    }
  }
}

TEST(Layers, TheLibraryNeverPrintsReadsStandardInputOrExits) {
  const std::regex forbidden(R"(\b(printf|fprintf|puts|fputs|perror|exit|_Exit|abort|quick_exit|getchar|scanf|fscanf)\s*\(|\b(stdout|stderr|stdin|std::cout|std::cerr|std::cin)\b)");
  for (const std::string &file : layered_files()) {
    if (layer_of(file) >= 3) continue;
    std::ifstream in(kSource / file);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
      ++number;
      const std::string code = line.substr(0, line.find("//"));
      EXPECT_FALSE(std::regex_search(code, forbidden)) << file << ":" << number << ": " << line;
    }
  }
}

TEST(Layers, TheCheckCatchesAnUpwardInclude) {
  EXPECT_GT(layer_of("app/run.cpp"), layer_of("include/contmon/writers.h"));
  EXPECT_GT(layer_of("outputs/text_report.cpp"), layer_of("design/parse.h"));
  EXPECT_LT(layer_of("core/crossing.h"), layer_of("include/contmon/design.h"));
  EXPECT_EQ(layer_of("tests/api_test.cpp"), -1);
}

}  // namespace
