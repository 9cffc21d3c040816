// Runs the option parser in-process on an argument vector made of arbitrary
// bytes, and judges the outcome against the command line's rules. Used by
// the fuzz target and by the test that replays its corpus.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line.h"

using contmon::app::Command;
using contmon::app::RunRequest;

/// The arguments in data: the pieces between NUL bytes, after the program name "contmon".
std::vector<std::string> arguments_of(const std::uint8_t *data, std::size_t size);

/// Empty when command is what the parser must make of args (argv[0] = "contmon" and args): a request whose
/// every value is valid and was typed, help or version text for -h, --help or --version, or a failure of one
/// message line ("contmon: ...") that quotes only what was typed, followed by "Try 'contmon --help'." for
/// faults of form. Otherwise a description of what is wrong.
std::string command_line_fault(const Command &command, const std::vector<std::string> &args);

/// Parses the arguments in data twice (the outcomes must agree) and judges the outcome.
std::string check_command_line(const std::uint8_t *data, std::size_t size);
