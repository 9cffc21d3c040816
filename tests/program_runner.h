// Runs a built program with given standard input in a scratch directory and
// collects its standard output (or sends it somewhere faulty), standard error
// and exit status.
#pragma once

#include <fcntl.h>
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

// Where a run's standard output goes.
enum class OutputTarget {
  kFile,        // stdout.txt in the run's directory, read back into ProgramRun::out
  kClosed,      // no descriptor 1 at all
  kBrokenPipe,  // a pipe whose reading end is closed before the program starts
  kFullDevice,  // /dev/full, where every write fails with ENOSPC
};

// Runs program with args in dir with input on standard input, standard output sent to target and
// standard error captured.
inline ProgramRun run_program(const std::string &program, const std::string &input,
                              const std::filesystem::path &dir, OutputTarget target = OutputTarget::kFile,
                              const std::vector<std::string> &args = {}) {
  std::vector<const char *> argv = {program.c_str()};
  for (const std::string &arg : args) argv.push_back(arg.c_str());
  argv.push_back(nullptr);
  write_file(dir / "stdin.txt", input);
  int pipe_fds[2] = {-1, -1};
  if (target == OutputTarget::kBrokenPipe && pipe(pipe_fds) == 0) close(pipe_fds[0]);
  pid_t pid = fork();
  if (pid == 0) {
    auto redirect = [](const char *path, int flags, int fd) {
      int opened = open(path, flags, 0644);
      if (opened < 0 || dup2(opened, fd) < 0) _exit(126);
      close(opened);
    };
    if (chdir(dir.c_str()) != 0) _exit(126);
    redirect("stdin.txt", O_RDONLY, 0);
    switch (target) {
      case OutputTarget::kFile:
        redirect("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 1);
        break;
      case OutputTarget::kClosed:
        close(1);
        break;
      case OutputTarget::kBrokenPipe:
        if (dup2(pipe_fds[1], 1) < 0) _exit(126);
        close(pipe_fds[1]);
        break;
      case OutputTarget::kFullDevice:
        redirect("/dev/full", O_WRONLY, 1);
        break;
    }
    redirect("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 2);
    execv(program.c_str(), const_cast<char *const *>(argv.data()));
    _exit(127);
  }
  if (pipe_fds[1] >= 0) close(pipe_fds[1]);
  int raw = 0;
  ProgramRun run;
  if (pid > 0 && waitpid(pid, &raw, 0) == pid && WIFEXITED(raw)) run.status = WEXITSTATUS(raw);
  if (target == OutputTarget::kFile) run.out = read_file(dir / "stdout.txt");
  run.err = read_file(dir / "stderr.txt");
  return run;
}
