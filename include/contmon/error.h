// The errors of the library: a value that cannot be used, naming the field
// it came from with a message fit to show a user, and a run cancelled by its
// progress callback. Allocation failure is std::bad_alloc.
#pragma once

#include <stdexcept>
#include <string>

namespace contmon {

/// An invalid input: the field it belongs to ("K", "theta", "shape", "looks", "rates", "rule file", ...) and a
/// message that names it, on one line, without the program's name.
class Error : public std::invalid_argument {
 public:
  /// An error in field with the message shown to the user.
  Error(std::string field, const std::string &message) : std::invalid_argument(message), field_(std::move(field)) {}

  /// The input the error is about.
  const std::string &field() const noexcept { return field_; }

 private:
  std::string field_;
};

/// A run ended early because its progress callback asked it to.
class Cancelled : public std::runtime_error {
 public:
  Cancelled() : std::runtime_error("the run was cancelled") {}
};

}  // namespace contmon
