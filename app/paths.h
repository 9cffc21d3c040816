// Names of files as the file system resolves them, so that a run can tell
// when two of its files are one.
#pragma once

#include <string>

namespace contmon::app {

/// The absolute, normal path a name writes to once its symbolic links (the name's own, however many) are
/// followed, the last of them perhaps dangling; "" with the reason in *error when a link cannot be resolved.
std::string resolved_path(const std::string &name, std::string *error);

/// Whether two names are one file: the same existing file (by device and inode), or the same resolved path.
bool same_file(const std::string &a, const std::string &b);

}  // namespace contmon::app
