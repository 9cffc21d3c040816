// The in-process dialogue harness: the reading of K, THETA and PHI with
// standard output sent to an in-memory file, its outcome checked against rules
// derived from the input independently of the readers.
#include "fuzz/dialogue_harness.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "app/app.h"

namespace {

using contmon::kMaxStages;

// Sends standard output to an in-memory file from construction until text() is called.
class OutputCapture {
 public:
  OutputCapture() {
    static const int memory = memfd_create("dialogue_output", 0);
    if (memory < 0) {
      std::perror("memfd_create");
      std::abort();
    }
    fd_ = memory;
    std::fflush(stdout);
    saved_ = dup(1);
    if (ftruncate(fd_, 0) != 0 || lseek(fd_, 0, SEEK_SET) != 0 || dup2(fd_, 1) < 0) std::abort();
  }
  ~OutputCapture() { restore(); }
  OutputCapture(const OutputCapture &) = delete;
  OutputCapture &operator=(const OutputCapture &) = delete;

  // Restores standard output and returns what was printed.
  std::string text() {
    restore();
    std::string s(static_cast<std::size_t>(lseek(fd_, 0, SEEK_END)), '\0');
    if (pread(fd_, s.data(), s.size(), 0) != static_cast<ssize_t>(s.size())) std::abort();
    return s;
  }

 private:
  void restore() {
    if (saved_ < 0) return;
    std::fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
    saved_ = -1;
  }
  int fd_ = -1;
  int saved_ = -1;
};

std::string format(const char *format, ...) __attribute__((format(printf, 1, 2)));

std::string format(const char *format, ...) {
  char text[256];
  std::va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

bool starts_with(const std::string &s, const char *prefix) { return s.rfind(prefix, 0) == 0; }

// K as "%d" reads it, worked out with strtoll: white space, an optional sign and digits, the value
// saturated to the int range. end is the offset just past the digits.
struct ReferenceInt {
  enum { kValue, kEndOfInput, kNotANumber } kind;
  int value;
  std::size_t end;
  std::size_t start = 0;  // of the sign or first digit
};

ReferenceInt reference_int(const std::uint8_t *data, std::size_t size) {
  std::size_t start = 0;
  while (start < size && std::isspace(data[start])) ++start;
  if (start == size) return {ReferenceInt::kEndOfInput, 0, size};
  std::size_t digits = start + (data[start] == '+' || data[start] == '-' ? 1 : 0);
  std::size_t end = digits;
  while (end < size && std::isdigit(data[end])) ++end;
  if (end == digits) return {ReferenceInt::kNotANumber, 0, end};
  std::string text(data + start, data + end);
  long long value = std::strtoll(text.c_str(), nullptr, 10);
  return {ReferenceInt::kValue, static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX)), end, start};
}

// The message for a K whose digits run on into other text: the word from its sign or first digit to the next
// white space, its first 40 characters and "..." when longer, unprintable characters as '?'. *consumed is
// where reading must stop: past the white space that ends the word.
std::string run_on_k_message(const std::uint8_t *data, std::size_t size, const ReferenceInt &k,
                             long *consumed) {
  std::size_t end = k.end;
  while (end < size && !std::isspace(data[end])) ++end;
  *consumed = static_cast<long>(end < size ? end + 1 : size);
  std::string word(data + k.start, data + end);
  if (word.size() > 40) word = word.substr(0, 40) + "...";
  for (char &c : word)
    if (!std::isprint(static_cast<unsigned char>(c))) c = '?';
  return "ReadData: K = '" + word + "' is not a whole number in [1:255]\n";
}

bool within_unit_interval(double x) { return x > 0.0 && x < 1.0; }

}  // namespace

DialogueOutcome run_dialogue_on(const std::uint8_t *data, std::size_t size) {
  static std::uint8_t empty = 0;
  DialogueOutcome outcome;
  std::FILE *in = fmemopen(size != 0 ? const_cast<std::uint8_t *>(data) : &empty, size, "r");
  if (in == nullptr) std::abort();
  OutputCapture capture;
  if (!contmon::app::read_data(in, &outcome.K, &outcome.THETA, &outcome.PHI)) outcome.status = 1;
  outcome.output = capture.text();
  outcome.consumed = std::ftell(in);
  std::fclose(in);
  return outcome;
}

std::string dialogue_fault(const DialogueOutcome &o, const std::uint8_t *data, std::size_t size) {
  if (o.status != -1 && o.status != 1) return format("fatal exit with status %d", o.status);
  const ReferenceInt k = reference_int(data, size);
  std::string expected;
  if (k.kind == ReferenceInt::kEndOfInput) {
    expected = "int_read: end of file error.\n";
  } else if (k.kind == ReferenceInt::kNotANumber) {
    expected = "int_read: input error.\n";
  } else if (o.K != k.value) {
    return format("K stored as %d, the input holds %d", o.K, k.value);
  } else if (k.end < size && !std::isspace(data[k.end])) {
    long consumed = 0;
    expected = run_on_k_message(data, size, k, &consumed);
    if (o.consumed != consumed)
      return format("read %ld bytes of a K that runs on, not %ld", o.consumed, consumed);
    if (o.THETA != 0.0) return "THETA read after a K that runs on";
  } else if (o.K < 1 || o.K > kMaxStages) {
    expected = format("ReadData: n = %d is outside [1:255]\n", o.K);
    if (o.consumed != static_cast<long>(k.end))
      return format("read %ld bytes after an invalid K ending at %zu", o.consumed, k.end);
  } else if (starts_with(o.output, "dbl_read: ")) {
    // A reader failure at THETA (never stored) or at PHI after a valid THETA.
    if (o.output == "dbl_read: end of file error.\n" || o.output == "dbl_read: input error.\n")
      expected = o.output;
    if (o.PHI != 0.0 || !(o.THETA == 0.0 || within_unit_interval(o.THETA)))
      return format("reader failure with THETA = %g and PHI = %g stored", o.THETA, o.PHI);
  } else if (!within_unit_interval(o.THETA)) {
    expected = format("ReadData: theta = %g is outside (0,1)\n", o.THETA);
    if (o.PHI != 0.0) return "PHI read after an invalid THETA";
  } else if (!within_unit_interval(o.PHI)) {
    expected = format("ReadData: phi = %g is outside (0,1)\n", o.PHI);
  }
  if (o.output != expected) return "printed \"" + o.output + "\", expected \"" + expected + "\"";
  if ((o.status == -1) != expected.empty())
    return format("status %d after printing \"%s\"", o.status, o.output.c_str());
  return "";
}

std::string check_dialogue(const std::uint8_t *data, std::size_t size) {
  return dialogue_fault(run_dialogue_on(data, size), data, size);
}
