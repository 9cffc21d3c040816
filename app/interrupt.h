// What an interrupted run (SIGINT, SIGTERM) leaves behind: nothing. The
// handler erases a progress line that is shown and removes the temporary
// files of outputs not yet complete, with async-signal-safe calls only, then
// ends the process as the signal would have.
#pragma once

#include <cstddef>
#include <string>

namespace contmon::app {

/// Installs the handler for SIGINT and SIGTERM (where the system has them). Call once, early.
void install_interrupt_cleanup();

/// Tells the handler that a progress line of `width` characters is shown on standard error (0: none).
void interrupt_erases_line(std::size_t width);

/// Registers a temporary file for the handler to remove; returns a slot for forget_temporary, or -1 when every
/// slot is taken (the file is then not removed on an interruption).
int remove_on_interrupt(const std::string &path);

/// Forgets the temporary file of the slot (it has been renamed or removed).
void forget_temporary(int slot);

/// Holds SIGINT and SIGTERM back while it lives, so that a temporary file is never created without being
/// registered; a signal that arrives meanwhile is handled when it ends.
class InterruptsHeld {
 public:
  InterruptsHeld();
  ~InterruptsHeld();
  InterruptsHeld(const InterruptsHeld &) = delete;
  InterruptsHeld &operator=(const InterruptsHeld &) = delete;

 private:
  alignas(16) unsigned char saved_[256];  // the signal mask before, where the system has one
};

}  // namespace contmon::app
