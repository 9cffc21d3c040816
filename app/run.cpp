// A run with arguments: the design calibrated (or a rule read from a file),
// its operating characteristics, and the outputs the command line asked for.
// Everything is computed before anything is written, so that every format
// prints the same figures.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "app/app.h"
#include "app/files.h"
#include "app/paths.h"
#include "contmon/writers.h"
#include "core/text.h"

namespace contmon::app {

namespace {

// Rule files larger than this are refused unread: no rule needs more.
constexpr std::size_t kMaxRuleFileBytes = std::size_t{16} << 20;

// Prints the message on one line of standard error (a control character in a file name shows as '?') and
// returns the exit status, 1.
int fail(const std::string &program, const std::string &message) {
  std::fprintf(stderr, "%s: %s\n", program.c_str(), one_line(message).c_str());
  return 1;
}

// The files a run writes, opened under their temporary names before it computes, so that one that cannot be
// created is found at once, and removed unless completed, also when the run is interrupted.
class PendingOutputs {
 public:
  PendingOutputs() = default;
  PendingOutputs(const PendingOutputs &) = delete;
  PendingOutputs &operator=(const PendingOutputs &) = delete;
  ~PendingOutputs() {
    for (Pending &pending : outputs_) abandon(pending);
  }

  // Opens the output of option named name; "" or the message.
  std::string reserve(const std::string &option, const std::string &name) {
    Pending pending;
    pending.option = option;
    pending.name = name;
    const std::string failure = open_replacement(&pending.file, name);
    if (!failure.empty()) return option + " " + in_quotes(name) + ": " + failure;
    outputs_.push_back(std::move(pending));
    return "";
  }

  // Writes text to the output named name and puts it in place; "" or the message.
  std::string complete(const std::string &name, const std::string &text) {
    for (Pending &pending : outputs_) {
      if (pending.name != name || pending.file.fp == nullptr) continue;
      std::fwrite(text.data(), 1, text.size(), pending.file.fp);
      const std::string failure = commit_replacement(&pending.file);
      pending.file.temporary.clear();
      return failure.empty() ? "" : pending.option + " " + in_quotes(name) + ": " + failure;
    }
    return "";
  }

 private:
  struct Pending {
    std::string option, name;
    ReplacementFile file;
  };

  static void abandon(Pending &pending) { abandon_replacement(&pending.file); }

  std::vector<Pending> outputs_;
};

// The message for the first of the run's files that names another of them (an output that would overwrite
// the rule it reads, or two outputs in one file), or "".
std::string colliding_files(const RunRequest &request) {
  struct Named {
    std::string option;  // as the message names it
    std::string file;
  };
  std::vector<Named> inputs, outputs;
  if (request.evaluate_file) inputs.push_back({"--evaluate", *request.evaluate_file});
  const bool boundary_file = !request.no_output && (!request.evaluate_file || request.output_file);
  if (boundary_file)
    outputs.push_back({request.output_file ? "--output" : "", request.output_file.value_or(kBoundaryFileName)});
  if (request.plot_file) outputs.push_back({"--plot", *request.plot_file});
  if (request.report_file) outputs.push_back({"--report", *request.report_file});
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const Named &out = outputs[i];
    for (const Named &in : inputs)
      if (same_file(out.file, in.file))
        return out.option + " " + in_quotes(out.file) + " is the rule file " + in.option + " " + in_quotes(in.file) +
               " reads: writing it would lose the rule; name another file";
    for (std::size_t j = 0; j < i; ++j) {
      if (!same_file(out.file, outputs[j].file)) continue;
      if (outputs[j].option.empty())
        return out.option + " " + in_quotes(out.file) + " is the boundary file the run writes (" + kBoundaryFileName +
               " unless -o names another; --no-output writes none): give each output a file of its own";
      return out.option + " " + in_quotes(out.file) + " and " + outputs[j].option + " " + in_quotes(outputs[j].file) +
             " name the same file: give each output a file of its own";
    }
  }
  return "";
}

// Warns on standard error when the rule's probability of stopping at THETA, computed exactly, is above a PHI
// the run knows: a boundary a simulation chose, a fixed constant's rule, or a rule read from a file.
void warn_above_phi(const std::string &program, const Report &result) {
  const Calibration &c = result.calibration;
  if (!result.has_phi || !result.has_theta || !(c.phi_star_exact > result.design.phi)) return;
  const char *whose = result.evaluated ? "the rule read" : c.fixed ? "the rule of the constant given"
                                                                    : "the boundary the simulation chose";
  std::fprintf(stderr,
               "%s: warning: %s stops with probability %g at THETA = %g (computed exactly), above PHI = %g\n",
               program.c_str(), whose, c.phi_star_exact, result.design.theta, result.design.phi);
}

}  // namespace

int run_with_arguments(const RunRequest &request, const char *argv0, MethodKind method_kind) {
  const std::string program = program_name(argv0);
  if (const std::string collision = colliding_files(request); !collision.empty()) return fail(program, collision);

  // Files the run will write are checked first, so that it does not fail at its end.
  struct {
    const std::optional<std::string> &file;
    const char *option;
  } const outputs[] = {{request.no_output ? std::nullopt : request.output_file, "--output"},
                       {request.plot_file, "--plot"},
                       {request.report_file, "--report"}};
  for (const auto &output : outputs) {
    if (!output.file) continue;
    const std::string fault = check_output_file(argv0, *output.file, output.option);
    if (!fault.empty()) {
      std::fputs(fault.c_str(), stderr);
      return 1;
    }
  }

  Method method;
  method.kind = method_kind;
  const bool simulated = method_kind != MethodKind::kExact;
  for (const auto &[option, value, field] : {std::tuple{"--trials", request.trials, &method.trials},
                                             std::tuple{"--seed", request.seed, &method.seed}}) {
    if (!value) continue;
    if (!simulated)
      return fail(program, std::string(option) + " sets the simulation, and this run computes exactly; add "
                                                 "--simulate to simulate");
    *field = *value;
  }
  if (request.find_k && simulated)
    return fail(program, "--find-k computes exactly, and this run simulates: add --exact (or run contmon-exact)");
  const bool text = request.format == OutputFormat::kText;
  // The banner comes once the arguments have been checked, or before the dialogue's prompt.
  bool banner_printed = false;
  auto banner = [&] {
    if (text && !banner_printed) print_banner(stdout, method_kind, !request.design_options && !request.evaluate_file, false);
    banner_printed = true;
  };

  ReportRequest analysis;
  analysis.rates = request.rates;
  analysis.alternative = request.alternative;
  analysis.accrual = request.accrual;
  analysis.constant = request.constant;
  analysis.has_phi = request.has_phi;
  analysis.curve = request.plot_file || request.report_file;
  Design &design = analysis.design;
  design.K = request.K;
  design.theta = request.THETA;
  design.phi = request.has_phi ? request.PHI : 0.5;  // PHI may be left out with --constant
  std::string rule_file;
  if (request.evaluate_file) {
    const std::string &name = *request.evaluate_file;
    std::string contents;
    std::error_code ignored;
    const std::string reason = std::filesystem::is_directory(name, ignored)
                                   ? "it is a folder; name a rule file"
                                   : read_whole_file(name, &contents, kMaxRuleFileBytes);
    if (!reason.empty()) return fail(program, "--evaluate " + name + ": cannot read it: " + reason);
    RuleFile file;
    try {
      file = parse_rule_file(name, contents);
    } catch (const Error &error) {
      return fail(program, error.what());
    }
    rule_file = name;
    analysis.rule = file.rule;
    if (request.has_numbers) {
      if (request.K != file.rule.K)
        return fail(program, "--evaluate " + name + ": the rule's last look is " + std::to_string(file.rule.K) +
                                 ", not K = " + std::to_string(request.K) + "; give K = " +
                                 std::to_string(file.rule.K) + " or leave out K THETA PHI");
    } else {
      analysis.has_theta = file.theta.has_value();
      analysis.has_phi = file.phi.has_value();
      design.theta = file.theta.value_or(0.0);
      design.phi = file.phi.value_or(0.0);
      if (!analysis.has_theta && request.rates.empty())
        return fail(program, "--evaluate " + name +
                                 ": a plain rule file holds no THETA; give K THETA PHI after the options, or "
                                 "the rates to evaluate with --rates LIST");
    }
    design.K = file.rule.K;
    design.looks = file.rule.looks;
    if (request.alternative && analysis.has_theta) {
      const std::string fault = check_alternative(argv0, *request.alternative, design.theta);
      if (!fault.empty()) {
        std::fputs(fault.c_str(), stderr);
        return 1;
      }
    }
  } else {
    if (!request.has_numbers) {
      banner();
      print_prompt(stdout);
      if (!read_data(stdin, &design.K, &design.theta, &design.phi)) return kInputRefused;
      if (request.alternative) {
        const std::string fault = check_alternative(argv0, *request.alternative, design.theta);
        if (!fault.empty()) {
          std::fputs(fault.c_str(), stderr);
          return 1;
        }
      }
    }
    design.shape = request.shape;
    design.min_events = request.min_events;
    try {
      design.looks = schedule_looks(design.K, request.looks, request.cohort, request.start);
      check_design(design);
      for (const Shape &shape : request.compared) {
        Design other = design;
        other.shape = shape;
        check_design(other);
      }
      if (request.find_k && !(*request.alternative > design.theta && *request.alternative < 1.0))
        return fail(program, "--find-k: --alternative P1 = " + shortest(*request.alternative) +
                                 " is not above THETA = " + shortest(design.theta));
    } catch (const Error &error) {
      return fail(program, error.what());
    }
  }
  // A rule read from a file is written as a boundary file only when -o names one.
  const bool write_file = !request.no_output && (!analysis.rule || request.output_file);
  const std::string boundary_file = request.output_file.value_or(kBoundaryFileName);
  PendingOutputs files;
  for (const auto &[wanted, option, name] :
       {std::tuple{write_file, request.output_file ? "--output" : "the boundary file", boundary_file},
        std::tuple{request.plot_file.has_value(), "--plot", request.plot_file.value_or("")},
        std::tuple{request.report_file.has_value(), "--report", request.report_file.value_or("")}}) {
    if (!wanted) continue;
    if (const std::string failure = files.reserve(option, name); !failure.empty()) return fail(program, failure);
  }
  banner();

  // One report, or one per shape compared; a search for K first reports the K it found.
  std::vector<Report> results;
  std::optional<SampleSizeSearch> search;
  ProgressLine line = ProgressLine::on_standard_error();
  try {
    const RunControl control{progress_on(line, program), nullptr};
    if (request.find_k) {
      const Schedule schedule{request.looks, request.cohort, request.start};
      search = find_sample_size(design, schedule, *request.alternative, *request.find_k, control);
      design.K = search->smallest_k.value_or(search->best_k);
      design.looks = schedule_for(design.K, schedule);
      design.min_events = std::min(design.min_events, design.K);
    }
    if (request.compared.empty()) {
      results.push_back(report(analysis, method, control));
    } else {
      for (const Shape &shape : request.compared) {
        design.shape = shape;
        results.push_back(report(analysis, method, control));
      }
    }
  } catch (const Error &error) {
    line.clear();
    return fail(program, error.what());
  }
  line.clear();
  for (Report &one : results) {
    const Calibration &c = one.calibration;
    if (!one.evaluated && !c.fixed && c.never_stops) warn_never_stops(program, one.design.phi, one.design.theta);
    warn_above_phi(program, one);
    one.program = program;
    one.version = project_version();
    one.rule_file = rule_file;
    one.by_look = request.by_look;
  }
  Report &result = results.front();

  int status = 0;
  // The text report comes before the boundary file, so that a file sent to the same pipe follows it; the
  // other formats state its fate.
  result.date = datetime_text();
  result.timestamp = timestamp_text();
  if (write_file) result.boundary_file = boundary_file;
  for (Report &one : results) one.date = result.date, one.timestamp = result.timestamp;
  if (text) {
    std::printf("\n");  // after the banner or the dialogue's answer, as the dialogue's report has it
    if (search) std::fputs(search_text(*search, *request.find_k).c_str(), stdout);
    std::fputs((results.size() > 1 ? comparison_text(results) : text_report_body(result)).c_str(), stdout);
    std::fflush(stdout);
  }
  if (write_file) {
    std::fflush(stdout);
    const std::string failure =
        files.complete(boundary_file, boundary_file_text(result, argv0 != nullptr ? argv0 : ""));
    if (!failure.empty()) {
      fail(program, failure);
      result.boundary_file_failed = true;
      status = 1;
    }
  }
  std::string output;
  if (text)
    output = text_report_ending(result);
  else if (results.size() > 1)
    output = to_format(request.format, results);
  else if (search && request.format == OutputFormat::kJson)
    output = to_json(result, *search, *request.find_k);
  else
    output = to_format(request.format, result);
  std::fputs(output.c_str(), stdout);
  for (const auto &[file, svg] : {std::pair{&request.plot_file, true}, std::pair{&request.report_file, false}}) {
    if (!*file) continue;
    const std::string page = results.size() > 1 ? (svg ? to_svg(results) : to_html(results))
                                                 : (svg ? to_svg(result) : to_html(result));
    const std::string failure = files.complete(**file, page);
    if (!failure.empty()) status = fail(program, failure);
  }
  return status;
}

}  // namespace contmon::app
