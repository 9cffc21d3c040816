// The command line's options in one table: their names, whether they take a
// value, and their help. The parser, the help text and the documentation
// checks all read it, so an option is added here and nowhere else.
#pragma once

#include <span>
#include <string_view>

namespace contmon::app {

/// The part of the help an option is listed in.
enum class OptionSection { kGeneral, kDesign, kOutput };

/// One option of the command line.
struct OptionEntry {
  const char *name;          ///< the long name, "--shape"
  const char *short_name;    ///< the one-letter name, "-o", or null
  const char *value;         ///< the value's name in the help, "FILE", or null for a flag
  OptionSection section;     ///< where the help lists it
  const char *help;          ///< its help, lines of at most 57 characters separated by line feeds
};

/// Every option, in the order the help lists them.
std::span<const OptionEntry> option_table();

/// The option with this long or short name, or null.
const OptionEntry *find_option(std::string_view name);

}  // namespace contmon::app
