// contmon: Pocock-type boundaries for monitoring a single-arm trial with a
// binary outcome after every patient. Without arguments it asks for K, THETA
// and PHI; with them (and options) it runs as a script or protocol needs.
#include <csignal>
#include <cstdio>
#include <new>

#include "bndry/bndry.h"
#include "cli/cli.h"
#include "cross2s/cross2s.h"
#include "driver/driver.h"

namespace {

// The engine a run uses: the program's own unless the command line chose one. A simulation chosen by a
// program whose default is a simulation keeps that default's kind.
CrossingEngine chosen_engine(EngineChoice choice) {
  const bool default_simulates = default_crossing_engine != CrossingEngine::kExact;
  switch (choice) {
    case EngineChoice::kExact:
      return CrossingEngine::kExact;
    case EngineChoice::kSimulation:
      return default_simulates ? default_crossing_engine : CrossingEngine::kSimulation;
    case EngineChoice::kDefault:
      break;
  }
  return default_crossing_engine;
}

// The program, from the command line to the exit status.
int run(int argc, char **argv) {
  const Command command = parse_command_line(argc, argv);
  if (command.action == CommandAction::kFail) {
    std::fputs(command.text.c_str(), stderr);
    return 1;
  }
  if (command.action != CommandAction::kRun) {
    std::fputs(command.text.c_str(), stdout);
    return flush_output(stdout, "standard output") != 0 ? 1 : 0;
  }
  const RunRequest &request = command.request;
  if (request.output_file && !request.no_output) {
    const std::string fault = check_output_file(argv[0], *request.output_file);
    if (!fault.empty()) {
      std::fputs(fault.c_str(), stderr);
      return 1;
    }
  }
  SetCrossingEngine(chosen_engine(request.engine));
  if (argc > 1) {
    // With arguments: the designs, rule files and outputs of the command line.
    int status = run_with_arguments(request, argv[0]);
    if (flush_output(stdout, "standard output") != 0) status = 1;
    return status;
  }

  print_banner(stdout);
  int K = request.K;
  double THETA = request.THETA;
  double PHI = request.PHI;
  if (!request.has_numbers) {
    print_prompt(stdout);
    ReadData(&K, &THETA, &PHI);
    if (request.alternative) {
      const std::string fault = check_alternative(argv[0], *request.alternative, THETA);
      if (!fault.empty()) {
        std::fputs(fault.c_str(), stderr);
        return 1;
      }
    }
  }
  std::printf("\n");

  ReportOptions options;
  options.boundary_file = request.no_output     ? nullptr
                          : request.output_file ? request.output_file->c_str()
                                                : kBoundaryFileName;
  options.rates = request.rates;
  options.alternative = request.alternative;
  int status = run_report(options, K, THETA, PHI, argv[0]);

  // A report that did not reach standard output (closed, full, a broken pipe) fails the run.
  if (flush_output(stdout, "standard output") != 0) status = 1;
  return status;
}

}  // namespace

int main(int argc, char **argv) {
  // A reader that goes away makes writes fail with EPIPE instead of killing the
  // process, so that a lost report ends with a message and status 1.
  std::signal(SIGPIPE, SIG_IGN);
  try {
    return run(argc, argv);
  } catch (const std::bad_alloc &) {
    // Memory for the options or the table, which the checked allocator does not provide: status 2, as there.
    std::fflush(stdout);
    std::printf("Memory could not be allocated\n");
    std::fflush(stdout);
    return 2;
  }
}
