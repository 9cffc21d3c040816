// Files as the programs write them, and the names and times that go with
// them.
#include "app/files.h"

#include "app/interrupt.h"
#include "app/paths.h"
#include "contmon/writers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(_WIN32)
#include <io.h>
#endif

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

namespace contmon::app {

namespace {

// The reason for a failed write that fp has recorded, or 0 when it has none: errno
// as the failure left it, or EIO when that has been cleared since.
int recorded_write_error(std::FILE *fp) { return !std::ferror(fp) ? 0 : errno != 0 ? errno : EIO; }

// Closes fp, failing also when an earlier write failed; "" or "Close failed: reason".
std::string close_checked(std::FILE *fp) {
  // A write that failed before the close lost its data even when the final flush succeeds.
  const int earlier_error = recorded_write_error(fp);
  errno = 0;
  const int result = std::fclose(fp);
  if (result != EOF && earlier_error == 0) return "";
  return std::string("Close failed: ") + std::strerror(result == EOF ? errno : earlier_error);
}

// Writes what the system holds of fp's file through to the disk: 0, or -1 with errno set.
int sync_to_disk(std::FILE *fp) {
#if defined(_WIN32)
  return _commit(_fileno(fp));
#else
  return fsync(fileno(fp));
#endif
}

// The longest file name the folder takes.
std::size_t longest_name(const std::string &folder) {
#if defined(_PC_NAME_MAX)
  const long most = pathconf(folder.c_str(), _PC_NAME_MAX);
  if (most > 0) return static_cast<std::size_t>(most);
#else
  (void)folder;
#endif
  return 255;
}

}  // namespace

std::string open_replacement(ReplacementFile *file, const std::string &name_text) {
  *file = ReplacementFile{};
  const char *name = name_text.c_str();
  auto open_failed = [name](int reason) {
    return std::string("Open of ") + name + " with mode=w failed: " + std::strerror(reason);
  };
  struct stat existing;
  const bool exists = stat(name, &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) return open_failed(EISDIR);
  if (exists && !S_ISREG(existing.st_mode)) {  // a device or a pipe: nothing to replace
    errno = 0;
    file->fp = std::fopen(name, "w");
    return file->fp != nullptr ? "" : open_failed(errno);
  }
  // A link is followed, so that the file it points to is replaced (or, for a dangling link, created) and the
  // link kept.
  std::filesystem::path target = name;
  std::error_code ignored;
  if (std::filesystem::is_symlink(target, ignored)) {
    std::string reason;
    const std::string resolved = resolved_path(name_text, &reason);
    if (resolved.empty()) return std::string("Open of ") + name + " with mode=w failed: " + reason;
    target = resolved;
  }
  // The temporary name is the file's, hidden, with six random characters; a name too long for that is cut so
  // that the temporary name is no longer than the longest the folder takes.
  const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
  std::string hidden(1, '.');
  hidden += target.filename().string();
  const std::size_t longest = longest_name(folder.string());
  if (hidden.size() + 7 > longest) hidden.resize(longest > 7 ? longest - 7 : 1);
  std::string temporary = (target.parent_path() / (hidden + ".XXXXXX")).string();
  const InterruptsHeld held;  // the temporary file is registered before an interruption can find it
  const int fd = mkstemp(temporary.data());
  if (fd < 0)
    return std::string("Open of ") + name + " with mode=w failed: a temporary file cannot be created in " +
           folder.string() + ": " + std::strerror(errno);
#if !defined(_WIN32)  // Windows has no such permissions; the temporary file is created writable
  // The permissions a file created by fopen would have, or those of the file replaced.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, exists ? existing.st_mode & 07777 : 0666 & ~mask);
#endif
  file->fp = fdopen(fd, "w");
  if (file->fp == nullptr) {
    const int reason = errno;
    close(fd);
    unlink(temporary.c_str());
    return open_failed(reason);
  }
  file->target = target.string();
  file->temporary = temporary;
  file->slot = remove_on_interrupt(temporary);
  return "";
}

void abandon_replacement(ReplacementFile *file) {
  if (file->fp != nullptr) std::fclose(file->fp);
  file->fp = nullptr;
  if (!file->temporary.empty()) unlink(file->temporary.c_str());
  file->temporary.clear();
  forget_temporary(file->slot);
  file->slot = -1;
}

std::string commit_replacement(ReplacementFile *file) {
  std::FILE *fp = file->fp;
  file->fp = nullptr;
  if (file->temporary.empty()) return close_checked(fp);
  // On disk before the rename, so that the name never refers to a file still being written. A failed flush
  // is the close's to report; a failed sync is reported as a failed close.
  const int sync_error = std::fflush(fp) == 0 && sync_to_disk(fp) != 0 ? errno : 0;
  std::string message = close_checked(fp);
  if (message.empty() && sync_error != 0) message = std::string("Close failed: ") + std::strerror(sync_error);
  // std::filesystem::rename replaces an existing target on Windows too, where std::rename refuses to.
  std::error_code renamed;
  if (message.empty()) std::filesystem::rename(file->temporary, file->target, renamed);
  if (renamed)
    message = "Rename of " + file->temporary + " to " + file->target + " failed: " + renamed.message();
  if (!message.empty()) unlink(file->temporary.c_str());
  forget_temporary(file->slot);
  file->slot = -1;
  return message;
}

std::string save_text_file(const std::string &name, const std::string &text) {
  ReplacementFile file;
  std::string message = open_replacement(&file, name);
  if (!message.empty()) return message;
  std::fwrite(text.data(), 1, text.size(), file.fp);
  return commit_replacement(&file);
}

std::string flush_output(std::FILE *fp, const char *name) {
  int earlier_error = recorded_write_error(fp);
  errno = 0;
  if (std::fflush(fp) == 0 && earlier_error == 0) return "";
  int reason = errno != 0 ? errno : earlier_error != 0 ? earlier_error : EIO;
  return std::string("Write to ") + name + " failed: " + std::strerror(reason);
}

std::string read_whole_file(const std::string &name, std::string *text, std::size_t limit) {
  std::FILE *fp = std::fopen(name.c_str(), "rb");
  if (fp == nullptr) return std::strerror(errno);
  char buffer[65536];
  std::size_t got;
  text->clear();
  while ((got = std::fread(buffer, 1, sizeof buffer, fp)) > 0) {
    text->append(buffer, got);
    if (text->size() > limit) {
      std::fclose(fp);
      return "it is larger than " + std::to_string(limit >> 20) + " MiB, too large for a rule";
    }
  }
  const bool failed = std::ferror(fp) != 0;
  std::fclose(fp);
  return failed ? "it could not be read" : "";
}

std::string program_name(const char *argv0) {
  const std::string path = argv0 != nullptr ? argv0 : "";
#if defined(_WIN32)
  // Either slash or a drive's colon ends a folder there, and programs are named with their .exe.
  std::string name = path.substr(path.find_last_of("/\\:") + 1);
  const std::size_t dot = name.size() > 4 ? name.size() - 4 : 0;
  if (dot > 0 && _stricmp(name.c_str() + dot, ".exe") == 0) name.resize(dot);
#else
  const std::string name = path.substr(path.find_last_of('/') + 1);
#endif
  return name.empty() ? "contmon" : name;
}

std::string datetime_text() { return local_date_text(std::time(nullptr)); }

std::string timestamp_text() { return utc_timestamp_text(std::time(nullptr)); }

}  // namespace contmon::app
