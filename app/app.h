// The application: the two programs' shared body, from the command line to
// the exit status, with the dialogue, the runs with arguments and the
// progress line. Everything that prints, reads standard input or writes files
// lives here, above the library.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "app/command_line.h"
#include "app/progress.h"
#include "contmon/design.h"

namespace contmon::app {

/// The status run_dialogue and run_with_arguments return when the dialogue refused what was typed: 1, after
/// which the report's fate on standard output is not reported, as nothing more was meant to reach it.
inline constexpr int kInputRefused = -1;

/// The name of the boundary file, written in the current directory unless a run names another.
inline constexpr const char *kBoundaryFileName = "_bndry_.dat";

/// The whole program: reads the command line and runs the dialogue or the run with arguments with the method
/// the program uses unless told otherwise. Returns the exit status: 0, 1 for invalid input or an output that
/// could not be written, 2 when memory ran out.
int run_program(int argc, char **argv, MethodKind default_method);

/// The plain dialogue, without arguments: asks for K, THETA and PHI, designs the Pocock boundary after every
/// patient and prints the report. Returns the exit status, or kInputRefused.
int run_dialogue(const char *argv0, MethodKind method);

/// A run with arguments. Returns the exit status, or kInputRefused.
int run_with_arguments(const RunRequest &request, const char *argv0, MethodKind method);

/// Prints the banner, the method line and the definitions block on out; for another design than the Pocock
/// boundary after every patient the banner names no shape or schedule. The plain dialogue's heading keeps its
/// old spelling ("Defintions: "), which scripts may look for; runs with arguments spell it right.
void print_banner(std::FILE *out, MethodKind method, bool default_design = true, bool plain_dialogue = true);

/// Prints the input prompt on out.
void print_prompt(std::FILE *out);

/// Reads K, THETA and PHI from in as the dialogue does, storing each as soon as it is read; for the first
/// invalid value prints its message on standard output and returns false.
bool read_data(std::FILE *in, int *K, double *THETA, double *PHI);

/// Warns on standard error that no boundary that stops keeps the probability of stopping at THETA at or
/// below PHI, so the boundary reported never stops.
void warn_never_stops(const std::string &program, double PHI, double THETA);

/// A progress callback that shows "PROGRAM: STAGE (NN%)" on line.
std::function<bool(double, std::string_view)> progress_on(ProgressLine &line, const std::string &program);

}  // namespace contmon::app
