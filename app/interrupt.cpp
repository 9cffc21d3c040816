// The interruption handler and what it may touch: fixed buffers filled before
// any signal can need them, and atomic flags that say which are in use.
#include "app/interrupt.h"

#include <atomic>
#include <csignal>
#include <cstring>

#if defined(_WIN32)
#include <io.h>
#define CONTMON_WRITE _write
#define CONTMON_UNLINK _unlink
#else
#include <signal.h>
#include <unistd.h>
#define CONTMON_WRITE write
#define CONTMON_UNLINK unlink
#endif

namespace contmon::app {

namespace {

constexpr int kSlots = 8;                  // a run has at most three outputs
constexpr std::size_t kLongestPath = 4096;  // longer names are left to the system's own cleanup

char temporary[kSlots][kLongestPath];
std::atomic<bool> in_use[kSlots];
std::atomic<std::size_t> line_width{0};

extern "C" void on_interrupt(int signal) {
  static const char blanks[] = "                                                                ";
  std::size_t width = line_width.load();
  if (width > 0) {
    (void)!CONTMON_WRITE(2, "\r", 1);
    for (; width > 0; width -= width < sizeof blanks - 1 ? width : sizeof blanks - 1)
      (void)!CONTMON_WRITE(2, blanks, width < sizeof blanks - 1 ? width : sizeof blanks - 1);
    (void)!CONTMON_WRITE(2, "\r", 1);
  }
  for (int slot = 0; slot < kSlots; ++slot)
    if (in_use[slot].load()) CONTMON_UNLINK(temporary[slot]);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

void install_interrupt_cleanup() {
  std::signal(SIGINT, on_interrupt);
  std::signal(SIGTERM, on_interrupt);
}

void interrupt_erases_line(std::size_t width) { line_width.store(width); }

int remove_on_interrupt(const std::string &path) {
  if (path.size() >= kLongestPath) return -1;
  for (int slot = 0; slot < kSlots; ++slot) {
    if (in_use[slot].load()) continue;
    std::memcpy(temporary[slot], path.c_str(), path.size() + 1);
    in_use[slot].store(true);
    return slot;
  }
  return -1;
}

void forget_temporary(int slot) {
  if (slot >= 0 && slot < kSlots) in_use[slot].store(false);
}

#if defined(_WIN32)
InterruptsHeld::InterruptsHeld() : saved_{} {}
InterruptsHeld::~InterruptsHeld() = default;
#else
InterruptsHeld::InterruptsHeld() : saved_{} {
  static_assert(sizeof(sigset_t) <= sizeof saved_ && alignof(sigset_t) <= 16, "room for a signal mask");
  sigset_t held;
  sigemptyset(&held);
  sigaddset(&held, SIGINT);
  sigaddset(&held, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &held, reinterpret_cast<sigset_t *>(saved_));
}

InterruptsHeld::~InterruptsHeld() { pthread_sigmask(SIG_SETMASK, reinterpret_cast<sigset_t *>(saved_), nullptr); }
#endif

}  // namespace contmon::app
