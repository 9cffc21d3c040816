// Captures what the code under test prints on standard output.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>

// Redirects standard output to a temporary file from construction until text() is called.
class StdoutCapture {
 public:
  StdoutCapture() {
    std::fflush(stdout);
    saved_ = dup(fileno(stdout));
    file_ = std::tmpfile();
    dup2(fileno(file_), fileno(stdout));
  }
  ~StdoutCapture() {
    restore();
    std::fclose(file_);
  }
  StdoutCapture(const StdoutCapture &) = delete;
  StdoutCapture &operator=(const StdoutCapture &) = delete;

  // Restores standard output and returns everything printed since construction.
  std::string text() {
    restore();
    std::string s;
    std::rewind(file_);
    for (int c; (c = std::fgetc(file_)) != EOF;) s.push_back(static_cast<char>(c));
    return s;
  }

 private:
  void restore() {
    if (saved_ < 0) return;
    std::fflush(stdout);
    dup2(saved_, fileno(stdout));
    close(saved_);
    saved_ = -1;
  }
  int saved_ = -1;
  std::FILE *file_ = nullptr;
};
