// The programs' shared entry: the command line read, the method chosen, the
// dialogue or the run with arguments, and the exit status.
#include <chrono>
#include <csignal>
#include <cmath>
#include <cstdio>
#include <memory>
#include <new>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#include "app/app.h"
#include "app/files.h"
#include "app/interrupt.h"
#include "core/text.h"

namespace contmon::app {

std::function<bool(double, std::string_view)> progress_on(ProgressLine &line, const std::string &program) {
  auto pace = std::make_shared<PaceNotice>();
  return [&line, program, pace](double fraction, std::string_view stage) {
    if (const std::string notice = pace->update(stage, fraction); !notice.empty()) {
      line.clear();
      std::fprintf(stderr, "%s: %s\n", program.c_str(), notice.c_str());
    }
    line.show(program + ": " + std::string(stage) + " (" + std::to_string(static_cast<int>(std::floor(fraction * 100))) +
              "%)");
    return true;
  };
}

namespace {

// The method a run uses: the program's own unless the command line chose one. A simulation chosen by a
// program whose default is a simulation keeps that default's kind.
MethodKind chosen_method(EngineChoice choice, MethodKind default_method) {
  switch (choice) {
    case EngineChoice::kExact:
      return MethodKind::kExact;
    case EngineChoice::kSimulation:
      return default_method == MethodKind::kExact ? MethodKind::kSimulation : default_method;
    case EngineChoice::kDefault:
      break;
  }
  return default_method;
}

int run(int argc, char **argv, MethodKind default_method) {
  const std::string program = program_name(argc > 0 ? argv[0] : nullptr);
  const Command command = parse_command_line(argc, argv);
  if (command.action == CommandAction::kFail) {
    std::fputs(command.text.c_str(), stderr);
    return 1;
  }
  int status = 0;
  if (command.action != CommandAction::kRun) {
    std::fputs(command.text.c_str(), stdout);
  } else {
    const RunRequest &request = command.request;
    if (request.output_file && !request.no_output) {
      const std::string fault = check_output_file(argv[0], *request.output_file);
      if (!fault.empty()) {
        std::fputs(fault.c_str(), stderr);
        return 1;
      }
    }
    const MethodKind method = chosen_method(request.engine, default_method);
    status = argc > 1 ? run_with_arguments(request, argv[0], method) : run_dialogue(argv[0], method);
  }
  if (status == kInputRefused) {
    std::fflush(stdout);
    return 1;
  }
  // A report that did not reach standard output (closed, full, a broken pipe) fails the run.
  const std::string failure = flush_output(stdout, "standard output");
  if (!failure.empty()) {
    std::fprintf(stderr, "%s: %s\n", program.c_str(), failure.c_str());
    status = 1;
  }
  return status;
}

}  // namespace

int run_program(int argc, char **argv, MethodKind default_method) {
#if defined(_WIN32)
  // The same bytes as everywhere: no carriage return added before each line feed.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  // A reader that goes away makes writes fail with EPIPE instead of killing the
  // process, so that a lost report ends with a message and status 1.
#if defined(SIGPIPE)
  std::signal(SIGPIPE, SIG_IGN);
#endif
  install_interrupt_cleanup();
  try {
    return run(argc, argv, default_method);
  } catch (const std::bad_alloc &) {
    std::fflush(stdout);
    std::printf("Memory could not be allocated\n");
    std::fflush(stdout);
    return 2;
  }
}

}  // namespace contmon::app
