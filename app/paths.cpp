// Resolving names of files: links followed one at a time, so that a dangling
// link resolves to the file it would create and a loop is found.
#include "app/paths.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

namespace contmon::app {

namespace {

namespace fs = std::filesystem;

// More links than this in a row are taken for a loop, as the system's own limit does.
constexpr int kMaxLinks = 40;

}  // namespace

std::string resolved_path(const std::string &name, std::string *error) {
  std::error_code code;
  fs::path path = fs::absolute(fs::path(name), code);
  if (code) {
    *error = code.message();
    return "";
  }
  for (int links = 0; fs::is_symlink(fs::symlink_status(path, code)); ++links) {
    if (links == kMaxLinks) {
      *error = "its symbolic links cannot be resolved (they form a loop)";
      return "";
    }
    const fs::path target = fs::read_symlink(path, code);
    if (code) {
      *error = code.message();
      return "";
    }
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  // The folders on the way may be links too: the longest existing part is made canonical.
  const fs::path normal = fs::weakly_canonical(path, code);
  return (code ? path.lexically_normal() : normal).string();
}

bool same_file(const std::string &a, const std::string &b) {
  struct stat first, second;
  // Where the system numbers no inodes (0, as some Windows libraries give), the paths alone decide.
  if (stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_ino != 0)
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
  std::string ignored;
  const std::string resolved_a = resolved_path(a, &ignored), resolved_b = resolved_path(b, &ignored);
  return !resolved_a.empty() && resolved_a == resolved_b;
}

}  // namespace contmon::app
