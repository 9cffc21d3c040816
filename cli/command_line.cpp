// The command line: options and the three numbers, read with CLI11 into a
// request, every value checked strictly before anything runs.
#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "bndry/bndry.h"
#include "cli/cli.h"
#include "cli/cli_internal.h"

namespace {

// The long options, whether each takes a value, and how the help writes them, for messages and suggestions.
struct OptionName {
  const char *name;
  bool takes_value;
  const char *synopsis;
};

constexpr OptionName kOptions[] = {
    {"--exact", false, "--exact"},           {"--simulate", false, "--simulate"},
    {"--output", true, "-o, --output FILE"}, {"--no-output", false, "--no-output"},
    {"--rates", true, "--rates LIST"},       {"--alternative", true, "--alternative P1"},
    {"--shape", true, "--shape NAME[:PARAMS]"}, {"--looks", true, "--looks LIST"},
    {"--cohort", true, "--cohort C"},         {"--start", true, "--start N0"},
    {"--min-events", true, "--min-events M"}, {"--evaluate", true, "--evaluate FILE"},
    {"--format", true, "--format FORMAT"},    {"--plot", true, "--plot FILE.svg"},
    {"--report", true, "--report FILE.html"},
    {"--help", false, "-h, --help"},         {"--version", false, "--version"},
};

const OptionName *known_option(std::string_view name) {
  for (const OptionName &option : kOptions)
    if (name == option.name) return &option;
  return nullptr;
}

std::string synopsis_of(const std::string &name) {
  const OptionName *option = known_option(name);
  return option != nullptr ? option->synopsis : name;
}

std::size_t edit_distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// A message on one line for the program, ended by a line feed; control characters typed into an argument
// (a line feed, say) show as '?', so that the message stays one line.
std::string message_line(const std::string &program, std::string message) {
  for (char &c : message)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  return program + ": " + message + "\n";
}

Command failure(const std::string &program, const std::string &message) {
  Command command;
  command.action = CommandAction::kFail;
  command.text = message_line(program, message);
  return command;
}

// A fault in the form of the command line rather than in a value: the message and where to read more.
Command usage_failure(const std::string &program, const std::string &message) {
  Command command = failure(program, message);
  command.text += "Try '" + program + " --help'.\n";
  return command;
}

// CLI11's message for a malformed option turned into ours: the option and what it takes.
Command parse_failure(const std::string &program, const CLI::ParseError &error) {
  const std::string what = error.what();
  const std::size_t override_at = what.find(" was given a disallowed flag override");
  if (override_at != std::string::npos)
    return usage_failure(program, "option '--" + what.substr(0, override_at) + "' takes no value");
  const std::size_t colon = what.find(':');
  if (what.find("required") != std::string::npos && colon != std::string::npos && what.rfind("--", 0) == 0)
    return usage_failure(program, "option '" + synopsis_of(what.substr(0, colon)) + "' needs a value");
  return usage_failure(program, what);
}

// Which arguments after the program's name are read as options: those before the "--" that ends the options,
// but not the value of the option before them, "--" included (-o -- names a file "--").
std::vector<bool> option_arguments(int argc, const char *const argv[]) {
  std::vector<bool> options(static_cast<std::size_t>(argc), false);
  bool value_next = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--" && !value_next) break;
    options[i] = !value_next;
    if (value_next) {
      value_next = false;
      continue;
    }
    // -o, or flags bundled before it (-ho), takes the next argument; so does a long option with a value.
    const bool short_o = arg.size() >= 2 && arg[0] == '-' && arg.back() == 'o' &&
                         arg.find_first_not_of('h', 1) == arg.size() - 1;
    const OptionName *option = known_option(arg);
    value_next = short_o || (option != nullptr && option->takes_value);
  }
  return options;
}

// The arguments after the program's name, last first as CLI11 takes them, with "--name=" for an option that
// takes a value split into "--name" and "": CLI11 would take the next argument as the value instead.
std::vector<std::string> with_empty_values_apart(int argc, const char *const argv[],
                                                 const std::vector<bool> &options) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const OptionName *option = arg.empty() ? nullptr : known_option(arg.substr(0, arg.size() - 1));
    if (options[i] && option != nullptr && option->takes_value && arg.back() == '=') {
      args.emplace_back(option->name);
      args.emplace_back();
    } else {
      args.push_back(arg);
    }
  }
  std::reverse(args.begin(), args.end());
  return args;
}

// The flag of the pair given last on the command line: first, second or neither (null).
const CLI::Option *last_of(const CLI::App &app, const CLI::Option *first, const CLI::Option *second) {
  const CLI::Option *last = nullptr;
  for (const CLI::Option *option : app.parse_order())
    if (option == first || option == second) last = option;
  return last;
}

}  // namespace

std::string nearest_option(std::string_view option) {
  const std::string_view name = option.substr(0, option.find('='));
  std::string best;
  std::size_t best_distance = 3;
  for (const OptionName &known : kOptions) {
    const std::size_t distance = edit_distance(name, known.name);
    if (distance < best_distance) {
      best_distance = distance;
      best = known.name;
    }
  }
  return best;
}

std::string check_alternative(const char *argv0, double P1, double THETA) {
  if (P1 > THETA) return "";
  char message[160];
  std::snprintf(message, sizeof message,
                "--alternative P1 = %g is not above THETA = %g: P1 is an unacceptable event probability, "
                "higher than THETA",
                P1, THETA);
  return message_line(program_name(argv0), message);
}

std::string check_output_file(const char *argv0, const std::string &file, const char *option) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path path = file;
  std::string fault;
  struct stat target;
  struct stat report;
  const bool regular = stat(file.c_str(), &target) == 0 && S_ISREG(target.st_mode);
  auto is_report = [&](int fd) {
    return regular && fstat(fd, &report) == 0 && report.st_dev == target.st_dev &&
           report.st_ino == target.st_ino;
  };
  if (fs::is_directory(path, error)) {
    fault = "it is a folder; name a file in it";
  } else if (is_report(1) || is_report(2)) {
    // Replacing it would take the report (or the messages) away with the old file.
    fault = "it is the file the report or the messages go to; name another";
  } else {
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    if (!fs::is_directory(folder, error)) fault = "there is no folder '" + folder.string() + "'";
  }
  return fault.empty() ? "" : message_line(program_name(argv0), "invalid " + std::string(option) + " '" + file + "': " + fault);
}

std::string check_design_options(const char *argv0, const RunRequest &request, double THETA) {
  if (request.shape.kind != ShapeKind::kSprt || request.shape.p1 > THETA) return "";
  char message[160];
  std::snprintf(message, sizeof message,
                "--shape sprt:%g: P1 must be above THETA = %g: it is the unacceptable event probability the test "
                "tells from THETA",
                request.shape.p1, THETA);
  return message_line(program_name(argv0), message);
}

Command parse_command_line(int argc, const char *const argv[]) {
  const std::string program = program_name(argc > 0 ? argv[0] : nullptr);
  Command command;
  if (argc < 2) return command;  // no arguments: the dialogue

  // A flag given a value, even an empty one (--exact=), is refused here: CLI11 would take "--exact=".
  const std::vector<bool> options = option_arguments(argc, argv);
  for (int i = 1; i < argc; ++i) {
    if (!options[i]) continue;
    const std::string_view arg = argv[i];
    const std::size_t equals = arg.find('=');
    const OptionName *option =
        equals == std::string_view::npos ? nullptr : known_option(arg.substr(0, equals));
    if (option != nullptr && !option->takes_value)
      return usage_failure(program, "option '" + std::string(option->name) + "' takes no value");
  }

  CLI::App app;
  app.set_help_flag();  // the help text is ours
  app.allow_extras();   // unknown options are collected and reported here
  CLI::Option *help = app.add_flag("-h,--help")->disable_flag_override();
  CLI::Option *version = app.add_flag("--version")->disable_flag_override();
  CLI::Option *exact = app.add_flag("--exact")->disable_flag_override();
  CLI::Option *simulate = app.add_flag("--simulate")->disable_flag_override();
  CLI::Option *no_output = app.add_flag("--no-output")->disable_flag_override();
  std::string output_text;
  std::string rates_text;
  std::string alternative_text;
  CLI::Option *output = app.add_option("-o,--output", output_text);
  CLI::Option *rates = app.add_option("--rates", rates_text);
  CLI::Option *alternative = app.add_option("--alternative", alternative_text);
  std::string shape_text, looks_text, cohort_text, start_text, min_events_text, evaluate_text, format_text,
      plot_text, report_text;
  CLI::Option *shape = app.add_option("--shape", shape_text);
  CLI::Option *looks = app.add_option("--looks", looks_text);
  CLI::Option *cohort = app.add_option("--cohort", cohort_text);
  CLI::Option *start = app.add_option("--start", start_text);
  CLI::Option *min_events = app.add_option("--min-events", min_events_text);
  CLI::Option *evaluate = app.add_option("--evaluate", evaluate_text);
  CLI::Option *format = app.add_option("--format", format_text);
  CLI::Option *plot = app.add_option("--plot", plot_text);
  CLI::Option *report = app.add_option("--report", report_text);
  for (CLI::Option *option :
       {output, rates, alternative, shape, looks, cohort, start, min_events, evaluate, format, plot, report})
    option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  std::vector<std::string> numbers;
  app.add_option("numbers", numbers);
  try {
    app.parse(with_empty_values_apart(argc, argv, options));
  } catch (const CLI::ParseError &error) {
    return parse_failure(program, error);
  }

  for (const std::string &extra : app.remaining()) {
    if (extra == "--") continue;  // the separator before numbers that begin with '-'
    const std::string nearest = nearest_option(extra);
    return usage_failure(program, "unknown option '" + extra + "'" +
                                      (nearest.empty() ? "" : " (did you mean '" + nearest + "'?)"));
  }
  if (help->count() > 0) {
    command.action = CommandAction::kHelp;
    command.text = help_text(argv[0]);
    return command;
  }
  if (version->count() > 0) {
    command.action = CommandAction::kVersion;
    command.text = version_text(argv[0]);
    return command;
  }
  if (!numbers.empty() && numbers.size() != 3) {
    std::string typed;
    for (const std::string &number : numbers) typed += " '" + number + "'";
    return usage_failure(program, "expected the three numbers K THETA PHI, got " +
                                      std::to_string(numbers.size()) + ":" + typed);
  }

  RunRequest &request = command.request;
  std::string fault;
  request.design_options = shape->count() + looks->count() + cohort->count() + start->count() +
                               min_events->count() >
                           0;
  if (evaluate->count() > 0) {
    if (evaluate_text.empty()) return failure(program, "invalid --evaluate '': give the name of a rule file");
    if (request.design_options)
      return usage_failure(program,
                           "--evaluate reads the looks and counts from its file; it takes none of --shape, --looks, "
                           "--cohort, --start and --min-events");
    request.evaluate_file = evaluate_text;
  }
  if (looks->count() > 0 && cohort->count() > 0)
    return usage_failure(program, "give the looks either as --looks LIST or as --cohort C, not both");
  if (shape->count() > 0 && !(fault = read_shape(shape_text, &request.shape)).empty())
    return failure(program, fault);
  if (looks->count() > 0 && !(fault = read_looks(looks_text, &request.looks)).empty())
    return failure(program, fault);
  if (cohort->count() > 0 &&
      !(fault = read_whole_option("--cohort", cohort_text, 1, kMaxStages, &request.cohort)).empty())
    return failure(program, fault);
  if (start->count() > 0 &&
      !(fault = read_whole_option("--start", start_text, 1, kMaxStages, &request.start)).empty())
    return failure(program, fault);
  if (min_events->count() > 0 &&
      !(fault = read_whole_option("--min-events", min_events_text, 1, kMaxStages, &request.min_events)).empty())
    return failure(program, fault);
  if (format->count() > 0 && !(fault = read_format(format_text, &request.format)).empty())
    return failure(program, fault);
  for (auto [option, text, file] : {std::tuple{plot, &plot_text, &request.plot_file},
                                    std::tuple{report, &report_text, &request.report_file}}) {
    if (option->count() == 0) continue;
    if (text->empty()) return failure(program, "invalid " + option->get_name() + " '': give the name of a file");
    *file = *text;
  }
  if (request.format != OutputFormat::kText && numbers.empty() && !request.evaluate_file)
    return usage_failure(program, "--format " + format_text +
                                      " writes for other programs and asks nothing: give K THETA PHI after "
                                      "the options");
  if (numbers.size() == 3) {
    request.has_numbers = true;
    fault = read_sample_size(numbers[0], &request.K);
    if (fault.empty()) fault = read_probability("THETA", numbers[1], &request.THETA);
    if (fault.empty()) fault = read_probability("PHI", numbers[2], &request.PHI);
    if (!fault.empty()) return failure(program, fault);
  }
  if (const CLI::Option *engine = last_of(app, exact, simulate))
    request.engine = engine == exact ? EngineChoice::kExact : EngineChoice::kSimulation;
  if (output->count() > 0) {
    if (output_text.empty()) return failure(program, "invalid --output '': give the name of a file");
    request.output_file = output_text;
  }
  request.no_output = last_of(app, output, no_output) == no_output;
  if (rates->count() > 0) {
    fault = read_rates(rates_text, &request.rates);
    if (!fault.empty()) return failure(program, fault);
  }
  if (alternative->count() > 0) {
    double P1 = 0.0;
    fault = read_probability("P1", alternative_text, &P1);
    if (!fault.empty()) return failure(program, "--alternative: " + fault);
    request.alternative = P1;
    if (request.has_numbers) {
      command.text = check_alternative(argv[0], P1, request.THETA);
      if (!command.text.empty()) command.action = CommandAction::kFail;
    }
  }
  if (command.action == CommandAction::kRun && request.has_numbers) {
    command.text = check_design_options(argv[0], request, request.THETA);
    if (!command.text.empty()) command.action = CommandAction::kFail;
  }
  return command;
}
