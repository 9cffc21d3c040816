// Runs a built program with given standard input in a scratch directory and
// collects its standard output, standard error and exit status.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct ProgramRun {
  std::string out;
  std::string err;
  int status = -1;  // the exit status, or -1 when the program did not exit normally
};

inline std::string read_file(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// text split at line feeds, without them.
inline std::vector<std::string> lines_of(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline void write_file(const std::filesystem::path &path, const std::string &text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A fresh directory under the system's temporary directory, removed at the end.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "contmon_run_XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~ScratchDirectory() { std::filesystem::remove_all(path_); }
  ScratchDirectory(const ScratchDirectory &) = delete;
  ScratchDirectory &operator=(const ScratchDirectory &) = delete;
  const std::filesystem::path &path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// output with the time stamp of its "Date and time: " line replaced by "<masked>".
inline std::string mask_date_line(std::string output) {
  const std::string label = "Date and time: ";
  std::size_t at = output.find(label);
  if (at == std::string::npos) return output;
  at += label.size();
  std::size_t end = output.find('\n', at);
  if (end == std::string::npos) end = output.size();
  return output.replace(at, end - at, "<masked>");
}

// Runs program in dir with input on standard input.
inline ProgramRun run_program(const std::string &program, const std::string &input,
                              const std::filesystem::path &dir) {
  write_file(dir / "stdin.txt", input);
  std::string command =
      "cd '" + dir.string() + "' && '" + program + "' < stdin.txt > stdout.txt 2> stderr.txt";
  int raw = std::system(command.c_str());
  ProgramRun run;
  if (raw != -1 && WIFEXITED(raw)) run.status = WEXITSTATUS(raw);
  run.out = read_file(dir / "stdout.txt");
  run.err = read_file(dir / "stderr.txt");
  return run;
}
