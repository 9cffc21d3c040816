// The command line: options and the three numbers, read with CLI11 into a
// request, every value checked strictly before anything runs.
#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "app/command_line.h"
#include "app/files.h"
#include "app/options.h"
#include "core/text.h"

namespace contmon::app {

namespace {

// The option as the help writes it, "-o, --output FILE", for messages.
std::string synopsis_of(const std::string &name) {
  const OptionEntry *option = find_option(name);
  if (option == nullptr) return name;
  std::string synopsis = option->short_name != nullptr ? std::string(option->short_name) + ", " : "";
  synopsis += option->name;
  if (option->value != nullptr) synopsis += std::string(" ") + option->value;
  return synopsis;
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
std::string message_line(const std::string &program, const std::string &message) {
  return program + ": " + one_line(message) + "\n";
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
    const OptionEntry *option = arg.rfind("--", 0) == 0 ? find_option(arg) : nullptr;
    value_next = short_o || (option != nullptr && option->value != nullptr);
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
    const OptionEntry *option =
        arg.rfind("--", 0) == 0 ? find_option(std::string_view(arg).substr(0, arg.size() - 1)) : nullptr;
    if (options[i] && option != nullptr && option->value != nullptr && arg.back() == '=') {
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
  for (const OptionEntry &known : option_table()) {
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
  // Shortest decimals: values that differ show differently, however close.
  return message_line(program_name(argv0), "--alternative P1 = " + shortest(P1) + " is not above THETA = " +
                                               shortest(THETA) +
                                               ": P1 is an unacceptable event probability, higher than THETA");
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
    // Where the system numbers no inodes (0, as Windows' libraries give), nothing is taken for the same file.
    return regular && fstat(fd, &report) == 0 && target.st_ino != 0 && report.st_dev == target.st_dev &&
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
    const OptionEntry *option =
        equals == std::string_view::npos || arg.rfind("--", 0) != 0 ? nullptr : find_option(arg.substr(0, equals));
    if (option != nullptr && option->value == nullptr)
      return usage_failure(program, "option '" + std::string(option->name) + "' takes no value");
  }

  // Every option of the table: flags refuse a value, an option given twice takes the last value.
  CLI::App app;
  app.set_help_flag();  // the help text is ours
  app.allow_extras();   // unknown options are collected and reported here
  std::map<std::string, std::string> values;
  std::map<std::string, CLI::Option *> registered;
  for (const OptionEntry &option : option_table()) {
    const std::string names =
        option.short_name != nullptr ? std::string(option.short_name) + "," + option.name : option.name;
    registered[option.name] =
        option.value == nullptr
            ? app.add_flag(names)->disable_flag_override()
            : app.add_option(names, values[option.name])->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  }
  // Every --shape counts: several are compared.
  std::vector<std::string> shapes;
  registered.at("--shape")->each([&](const std::string &text) { shapes.push_back(text); });
  auto given = [&](const char *name) { return registered.at(name)->count() > 0; };
  auto value = [&](const char *name) -> const std::string & { return values.at(name); };
  const CLI::Option *exact = registered.at("--exact"), *simulate = registered.at("--simulate");
  const CLI::Option *output = registered.at("--output"), *no_output = registered.at("--no-output");
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
  if (given("--help")) {
    command.action = CommandAction::kHelp;
    command.text = help_text(argv[0]);
    return command;
  }
  if (given("--version")) {
    command.action = CommandAction::kVersion;
    command.text = version_text(argv[0]);
    return command;
  }
  const bool two_numbers = given("--constant") && numbers.size() == 2;
  if (!numbers.empty() && numbers.size() != 3 && !two_numbers) {
    std::string typed;
    for (const std::string &number : numbers) typed += " '" + number + "'";
    return usage_failure(program, "expected the three numbers K THETA PHI, got " +
                                      std::to_string(numbers.size()) + ":" + typed);
  }

  RunRequest &request = command.request;
  std::string fault;
  request.design_options = given("--shape") || given("--looks") || given("--cohort") || given("--start") ||
                           given("--min-events") || given("--constant") || given("--find-k");
  if (given("--evaluate")) {
    const std::string &evaluate_text = value("--evaluate");
    if (evaluate_text.empty()) return failure(program, "invalid --evaluate '': give the name of a rule file");
    if (request.design_options)
      return usage_failure(program,
                           "--evaluate reads the looks and counts from its file; it takes none of --shape, --looks, "
                           "--cohort, --start, --min-events, --constant and --find-k");
    request.evaluate_file = evaluate_text;
  }
  if (given("--looks") && given("--cohort"))
    return usage_failure(program, "give the looks either as --looks LIST or as --cohort C, not both");
  try {
    for (const std::string &text : shapes) request.compared.push_back(parse_shape(text));
    if (!request.compared.empty()) request.shape = request.compared.front();
    if (request.compared.size() == 1) request.compared.clear();
    if (given("--looks")) request.looks = parse_looks(value("--looks"));
  } catch (const Error &error) {
    return failure(program, error.what());
  }
  for (auto [name, field] : {std::pair{"--cohort", &request.cohort}, std::pair{"--start", &request.start},
                             std::pair{"--min-events", &request.min_events}}) {
    if (given(name) && !(fault = read_whole_option(name, value(name), 1, kMaxStages, field)).empty())
      return failure(program, fault);
  }
  if (given("--format") && !(fault = read_format(value("--format"), &request.format)).empty())
    return failure(program, fault);
  for (auto [name, file] : {std::pair{"--plot", &request.plot_file}, std::pair{"--report", &request.report_file}}) {
    if (!given(name)) continue;
    if (value(name).empty()) return failure(program, "invalid " + std::string(name) + " '': give the name of a file");
    *file = value(name);
  }
  if (request.format != OutputFormat::kText && numbers.empty() && !request.evaluate_file)
    return usage_failure(program, "--format " + value("--format") +
                                      " writes for other programs and asks nothing: give K THETA PHI after "
                                      "the options");
  if (!request.compared.empty() && (given("--constant") || given("--find-k")))
    return usage_failure(program, std::string("several --shape are compared at their calibrated constants; ") +
                                      (given("--constant") ? "--constant" : "--find-k") + " takes one shape");
  if (given("--constant") && given("--find-k"))
    return usage_failure(program, "--find-k calibrates every K; it does not take --constant");
  if (given("--find-k") && !given("--alternative"))
    return usage_failure(program, "--find-k POWER needs --alternative P1: the power is the probability of "
                                  "stopping at P1");
  try {
    if (given("--constant")) request.constant = parse_number("--constant", value("--constant"));
    if (given("--find-k")) request.find_k = parse_probability("POWER", value("--find-k"));
  } catch (const Error &error) {
    return failure(program, std::string(given("--find-k") && !given("--constant") ? "--find-k: " : "") +
                                error.what());
  }
  for (auto [name, field, low, high] :
       {std::tuple{"--trials", &request.trials, kFewestTrials, kMostTrials},
        std::tuple{"--seed", &request.seed, 0, kMostSeed}}) {
    if (!given(name)) continue;
    int number = 0;
    if (!(fault = read_whole_option(name, value(name), low, high, &number)).empty()) return failure(program, fault);
    *field = number;
  }
  request.by_look = given("--by-look");
  if (numbers.size() >= 2) {
    request.has_numbers = true;
    request.has_phi = numbers.size() == 3;
    try {
      request.K = parse_sample_size(numbers[0]);
      request.THETA = parse_probability("THETA", numbers[1]);
      if (request.has_phi) request.PHI = parse_probability("PHI", numbers[2]);
    } catch (const Error &error) {
      return failure(program, error.what());
    }
  }
  if (const CLI::Option *engine = last_of(app, exact, simulate))
    request.engine = engine == exact ? EngineChoice::kExact : EngineChoice::kSimulation;
  if (given("--output")) {
    if (value("--output").empty()) return failure(program, "invalid --output '': give the name of a file");
    request.output_file = value("--output");
  }
  request.no_output = last_of(app, output, no_output) == no_output;
  if (given("--rates")) {
    try {
      request.rates = parse_rates(value("--rates"));
    } catch (const Error &error) {
      return failure(program, error.what());
    }
  }
  if (given("--accrual") != given("--window"))
    return usage_failure(program, std::string(given("--accrual") ? "--accrual" : "--window") +
                                      " needs " + (given("--accrual") ? "--window TAU" : "--accrual A") +
                                      ": patients enter over A time units and each outcome is known TAU after "
                                      "entry");
  if (given("--accrual")) {
    try {
      request.accrual = Accrual{parse_duration("--accrual", value("--accrual")),
                                parse_duration("--window", value("--window"))};
    } catch (const Error &error) {
      return failure(program, error.what());
    }
  }
  if (given("--alternative")) {
    double P1 = 0.0;
    try {
      P1 = parse_probability("P1", value("--alternative"));
    } catch (const Error &error) {
      return failure(program, std::string("--alternative: ") + error.what());
    }
    request.alternative = P1;
    if (request.has_numbers) {
      command.text = check_alternative(argv[0], P1, request.THETA);
      if (!command.text.empty()) command.action = CommandAction::kFail;
    }
  }
  return command;
}

}  // namespace contmon::app
