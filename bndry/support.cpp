// Support routines: fatal errors, checked allocation, files, console
// readers, vector printers and time stamps.
#include "bndry/bndry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstring>
#include <ctime>
#include <filesystem>

namespace {

void (*fatal_exit_handler)(int status) = nullptr;

}  // namespace

void set_fatal_exit_handler(void (*handler)(int status)) { fatal_exit_handler = handler; }

void fatal_exit(int status) {
  if (fatal_exit_handler != nullptr) fatal_exit_handler(status);
  std::exit(status);
}

void eprintf(const char *format, ...) {
  std::fflush(stdout);
  std::va_list args;
  va_start(args, format);
  std::vfprintf(stdout, format, args);
  va_end(args);
  fatal_exit(2);
}

void *emalloc(std::size_t n) {
  // A request for 0 bytes asks for 1, so that a null result always means failure.
  void *p = std::malloc(n == 0 ? 1 : n);
  if (p == nullptr) eprintf("malloc of %zu bytes failed:", n);
  return p;
}

void *erealloc(void *p, std::size_t n) {
  void *q = std::realloc(p, n == 0 ? 1 : n);
  if (q == nullptr) eprintf("realloc of %zu bytes failed:", n);
  return q;
}

std::FILE *open_file(const char *name, const char *mode) {
  errno = 0;
  std::FILE *fp = std::fopen(name, mode);
  if (fp == nullptr)
    std::fprintf(stderr, "Open of %s with mode=%s failed: %s\n", name, mode, std::strerror(errno));
  return fp;
}

namespace {

// The reason for a failed write that fp has recorded, or 0 when it has none: errno
// as the failure left it, or EIO when that has been cleared since.
int recorded_write_error(std::FILE *fp) { return !std::ferror(fp) ? 0 : errno != 0 ? errno : EIO; }

}  // namespace

int close_file(std::FILE *fp) {
  if (fp == nullptr) return 0;
  // A write that failed before the close lost its data even when the final flush
  // succeeds, so it fails the close too.
  int earlier_error = recorded_write_error(fp);
  errno = 0;
  int result = std::fclose(fp);
  if (result != EOF && earlier_error != 0) {
    errno = earlier_error;
    result = EOF;
  }
  if (result == EOF) std::perror("Close failed");
  return result;
}

bool open_replacement(ReplacementFile *file, const char *name) {
  *file = ReplacementFile{};
  auto open_failed = [name](int reason) {
    std::fprintf(stderr, "Open of %s with mode=w failed: %s\n", name, std::strerror(reason));
    return false;
  };
  struct stat existing;
  const bool exists = stat(name, &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) return open_failed(EISDIR);
  if (exists && !S_ISREG(existing.st_mode)) {  // a device or a pipe: nothing to replace
    file->fp = open_file(name, "w");
    return file->fp != nullptr;
  }
  // A link is followed, so that the file it points to is replaced and the link kept.
  std::error_code ignored;
  std::filesystem::path target = name;
  if (std::filesystem::is_symlink(target, ignored))
    target = std::filesystem::weakly_canonical(target, ignored);
  std::string hidden = target.filename().string();
  hidden.insert(0, 1, '.');
  std::string temporary = (target.parent_path() / (hidden + ".XXXXXX")).string();
  const int fd = mkstemp(temporary.data());
  if (fd < 0) return open_failed(errno);
  // The permissions a file created by fopen would have, or those of the file replaced.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, exists ? existing.st_mode & 07777 : 0666 & ~mask);
  file->fp = fdopen(fd, "w");
  if (file->fp == nullptr) {
    const int reason = errno;
    close(fd);
    unlink(temporary.c_str());
    return open_failed(reason);
  }
  file->target = target.string();
  file->temporary = temporary;
  return true;
}

int commit_replacement(ReplacementFile *file) {
  std::FILE *fp = file->fp;
  file->fp = nullptr;
  if (file->temporary.empty()) return close_file(fp);
  // On disk before the rename, so that the name never refers to a file still being written. A failed flush
  // is close_file's to report; a failed sync is reported as a failed close.
  const int sync_error = std::fflush(fp) == 0 && fsync(fileno(fp)) != 0 ? errno : 0;
  int result = close_file(fp);
  if (result == 0 && sync_error != 0) {
    errno = sync_error;
    std::perror("Close failed");
    result = EOF;
  }
  if (result == 0 && std::rename(file->temporary.c_str(), file->target.c_str()) != 0) {
    std::fprintf(stderr, "Rename of %s to %s failed: %s\n", file->temporary.c_str(), file->target.c_str(),
                 std::strerror(errno));
    result = EOF;
  }
  if (result != 0) unlink(file->temporary.c_str());
  return result;
}

int flush_output(std::FILE *fp, const char *name) {
  int earlier_error = recorded_write_error(fp);
  errno = 0;
  if (std::fflush(fp) == 0 && earlier_error == 0) return 0;
  int reason = errno != 0 ? errno : earlier_error != 0 ? earlier_error : EIO;
  std::fprintf(stderr, "Write to %s failed: %s\n", name, std::strerror(reason));
  return EOF;
}

void vec_print(std::FILE *fp, const double *x, int lo, int hi, const char *label) {
  if (lo > hi) {
    std::fprintf(fp, "%s[] is empty\n", label);
    return;
  }
  for (int i = lo; i <= hi; ++i) std::fprintf(fp, "%s[%d] = %g \n", label, i, x[i]);
}

void ivec_print(std::FILE *fp, const int *x, int lo, int hi, const char *label) {
  if (lo > hi) {
    std::fprintf(fp, "%s[] is empty\n", label);
    return;
  }
  for (int i = lo; i <= hi; ++i) std::fprintf(fp, "%s[%d] = %d \n", label, i, x[i]);
}

namespace {

enum class ReadOutcome { kValue, kEndOfInput, kNotANumber };

[[noreturn]] void read_failure(const char *reader, ReadOutcome outcome) {
  std::printf("%s: %s\n", reader,
              outcome == ReadOutcome::kEndOfInput ? "end of file error." : "input error.");
  fatal_exit(1);
}

// Reads a decimal integer as "%d" does (white space, an optional sign, digits),
// but saturates at INT_MIN and INT_MAX instead of overflowing: a number too large
// for an int is read as the nearest int, which every range check then rejects.
ReadOutcome scan_int(std::FILE *fp, int *value, std::string *typed) {
  constexpr std::size_t kMaxTyped = 64;
  auto keep = [typed](int c) {
    if (typed != nullptr && typed->size() < kMaxTyped) typed->push_back(static_cast<char>(c));
  };
  int c;
  do c = std::getc(fp);
  while (c != EOF && std::isspace(c));
  if (c == EOF) return ReadOutcome::kEndOfInput;

  bool negative = false;
  if (c == '+' || c == '-') {
    negative = c == '-';
    keep(c);
    c = std::getc(fp);
  }
  if (c == EOF || !std::isdigit(c)) {
    if (c != EOF) std::ungetc(c, fp);
    return ReadOutcome::kNotANumber;
  }
  // Accumulate the magnitude, stopping the growth just beyond the int range.
  constexpr long long kCap = static_cast<long long>(INT_MAX) + 1;
  long long magnitude = 0;
  for (; c != EOF && std::isdigit(c); c = std::getc(fp)) {
    keep(c);
    if (magnitude < kCap) magnitude = magnitude * 10 + (c - '0');
  }
  if (c != EOF) std::ungetc(c, fp);
  if (magnitude > kCap) magnitude = kCap;
  long long signed_value = negative ? -magnitude : magnitude;
  if (signed_value > INT_MAX) signed_value = INT_MAX;
  *value = static_cast<int>(signed_value);
  return ReadOutcome::kValue;
}

}  // namespace

int int_read(std::FILE *fp) { return int_read_text(fp, nullptr); }

int int_read_text(std::FILE *fp, std::string *typed) {
  if (typed != nullptr) typed->clear();
  int value = 0;
  ReadOutcome outcome = scan_int(fp, &value, typed);
  if (outcome != ReadOutcome::kValue) read_failure("int_read", outcome);
  return value;
}

double dbl_read(std::FILE *fp) {
  double value = 0.0;
  int converted = std::fscanf(fp, "%lf", &value);
  if (converted == 1) return value;
  read_failure("dbl_read", converted == EOF ? ReadOutcome::kEndOfInput : ReadOutcome::kNotANumber);
}

std::string program_name(const char *argv0) {
  const std::string path = argv0 != nullptr ? argv0 : "";
  const std::string name = path.substr(path.find_last_of('/') + 1);
  return name.empty() ? "contmon" : name;
}

void printtime(std::FILE *fp, const char *label, int t0, int t1) {
  std::fprintf(fp, "Program: %s\n", label);
  std::fprintf(fp, "CPU time: ");
  // The difference is formed in a wider type so that no pair of readings overflows.
  double x = static_cast<double>(static_cast<long long>(t1) - t0) / 1000;
  if (x < 1.0)
    std::fprintf(fp, "%g milliseconds\n", x * 1000);
  else
    std::fprintf(fp, "%g seconds\n", x);
}

void printdatetime(std::FILE *fp) {
  std::time_t now = std::time(nullptr);
  const std::tm *local = std::localtime(&now);
  if (local == nullptr) return;
  std::fprintf(fp, "Date and time: %s\n", std::asctime(local));
}

std::string datetime_text() {
  std::time_t now = std::time(nullptr);
  const std::tm *local = std::localtime(&now);
  if (local == nullptr) return "";
  std::string text = std::asctime(local);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}
