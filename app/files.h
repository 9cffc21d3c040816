// Files as the programs write them: whole or not at all, under a temporary
// name renamed over the target when complete; and the checks and messages
// that go with them. Failures are returned as messages (the program's name
// not included), never printed here.
#pragma once

#include <cstdio>
#include <string>

namespace contmon::app {

/// A file written in place of another: under a temporary name in the target's folder, renamed over the target
/// when complete, so that no reader ever sees it half-written and of two runs writing it at once one complete
/// file remains. A target that exists and is not a regular file (a device such as /dev/stdout, a pipe) is
/// written directly.
struct ReplacementFile {
  std::FILE *fp = nullptr;  ///< where to write
  std::string target;       ///< the file replaced, links followed
  std::string temporary;    ///< the temporary file; empty when the target is written directly
  int slot = -1;            ///< the temporary file's registration for removal on an interruption
};

/// Opens a replacement for the file name; returns "" or the message "Open of NAME with mode=w failed: reason".
/// The temporary file is removed if the program is interrupted (SIGINT, SIGTERM) before it is complete.
std::string open_replacement(ReplacementFile *file, const std::string &name);

/// Gives the replacement up: closes the file and removes the temporary file, leaving the target as it was.
void abandon_replacement(ReplacementFile *file);

/// Completes the replacement: closes the file and renames it over the target. Returns "" or the message
/// ("Close failed: reason", "Rename of TEMPORARY to TARGET failed: reason"), in which case the temporary file
/// is removed and the target left as it was.
std::string commit_replacement(ReplacementFile *file);

/// Writes text to the file name whole (open_replacement, commit_replacement); "" or the message.
std::string save_text_file(const std::string &name, const std::string &text);

/// Flushes fp and checks that nothing written to it was lost: "" or "Write to NAME failed: reason".
std::string flush_output(std::FILE *fp, const char *name);

/// The text of a file, at most `limit` bytes; "" and the text, or the reason it could not be read.
std::string read_whole_file(const std::string &name, std::string *text, std::size_t limit);

/// The name the program was invoked by (argv[0]) without its directory (nor, on Windows, its .exe); "contmon"
/// when there is none.
std::string program_name(const char *argv0);

/// The local time in asctime form without its line feed ("" when unknown).
std::string datetime_text();

/// The time now in ISO 8601, UTC, e.g. "2026-12-09T21:00:00Z" ("" when unknown).
std::string timestamp_text();

}  // namespace contmon::app
