// A run with arguments: the design calibrated exactly (or a rule read from a
// file), its operating characteristics, and the outputs the command line
// asked for. Everything is computed before anything is printed, so that every
// format prints the same figures.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "bndry/bndry.h"
#include "cli/cli.h"
#include "cross2s/cross2s.h"
#include "design/design.h"
#include "driver/driver_internal.h"
#include "outputs/outputs.h"
#include "progress/progress.h"
#include "ranuni/ranuni.h"

namespace {

// Rates of the figures' curves: 0.01, 0.02, ..., 0.99, computed exactly whatever the engine.
constexpr int kCurvePoints = 99;

// The progress line of a run and what it counts.
struct RunProgress {
  ProgressLine line = ProgressLine::on_standard_error();
  std::string program;
  int candidates_tried = 0;
};

void count_candidate(void *context) {
  auto *progress = static_cast<RunProgress *>(context);
  ++progress->candidates_tried;
  progress->line.show(progress->program + ": searching for the boundary, candidate " +
                      std::to_string(progress->candidates_tried));
}

// Prints the message on one line of standard error (a control character in a file name shows as '?') and
// returns the exit status, 1.
int fail(const std::string &program, std::string message) {
  for (char &c : message)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  std::fprintf(stderr, "%s: %s\n", program.c_str(), message.c_str());
  return 1;
}

// The text of a file, or false with the reason in *reason.
bool read_whole_file(const std::string &name, std::string *text, std::string *reason) {
  std::FILE *fp = std::fopen(name.c_str(), "rb");
  if (fp == nullptr) {
    *reason = std::strerror(errno);
    return false;
  }
  char buffer[65536];
  std::size_t got;
  text->clear();
  while ((got = std::fread(buffer, 1, sizeof buffer, fp)) > 0) {
    text->append(buffer, got);
    if (text->size() > (16u << 20)) {
      std::fclose(fp);
      *reason = "it is larger than 16 MiB, too large for a rule";
      return false;
    }
  }
  const bool failed = std::ferror(fp) != 0;
  std::fclose(fp);
  if (failed) *reason = "it could not be read";
  return !failed;
}

// Writes text to the file name whole (a temporary file renamed over it); false after a failure reported on
// standard error.
bool save_text_file(const std::string &name, const std::string &text) {
  ReplacementFile file;
  if (!open_replacement(&file, name.c_str())) return false;
  std::fwrite(text.data(), 1, text.size(), file.fp);
  return commit_replacement(&file) == 0;
}

// The index of the row at rate p, if the table has one.
std::optional<std::size_t> row_at(const std::vector<double> &rates, double p) {
  for (std::size_t i = 0; i < rates.size(); ++i)
    if (std::fabs(rates[i] - p) <= 1e-10) return i;
  return std::nullopt;
}

}  // namespace

int run_with_arguments(const RunRequest &request, const char *argv0) {
  RunProgress progress;
  progress.program = program_name(argv0);
  const std::string &program = progress.program;

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

  RunResult result;
  result.program = program;
  result.version = project_version();
  result.exact = crossing_engine() == CrossingEngine::kExact;
  result.trials = result.exact ? 0 : kSimulatedTrials;
  result.seed = result.exact ? 0 : kRanDefaultSeed;
  result.alternative = request.alternative;
  result.rates = request.rates;
  const bool text = request.format == OutputFormat::kText;
  // The banner comes once the arguments have been checked, or before the dialogue's prompt.
  bool banner_printed = false;
  auto banner = [&] {
    if (text && !banner_printed) print_banner(stdout, !request.design_options && !request.evaluate_file);
    banner_printed = true;
  };

  Design &design = result.design;
  design.K = request.K;
  design.theta = request.THETA;
  design.phi = request.PHI;
  if (request.evaluate_file) {
    const std::string &name = *request.evaluate_file;
    std::string contents, reason;
    if (!read_whole_file(name, &contents, &reason))
      return fail(program, "--evaluate " + name + ": cannot read it: " + reason);
    RuleFile file;
    const std::string fault = read_rule_file(name, contents, &file);
    if (!fault.empty()) {
      std::fprintf(stderr, "%s: %s", program.c_str(), fault.c_str());
      return 1;
    }
    result.evaluated = true;
    result.rule_file = name;
    result.calibration.rule = file.rule;
    if (request.has_numbers) {
      if (request.K != file.rule.K)
        return fail(program, "--evaluate " + name + ": the rule's last look is " +
                                 std::to_string(file.rule.K) + ", not K = " + std::to_string(request.K) +
                                 "; give K = " + std::to_string(file.rule.K) + " or leave out K THETA PHI");
    } else {
      result.has_theta = file.theta.has_value();
      result.has_phi = file.phi.has_value();
      design.theta = file.theta.value_or(0.0);
      design.phi = file.phi.value_or(0.0);
      if (!result.has_theta && request.rates.empty())
        return fail(program, "--evaluate " + name +
                                 ": a plain rule file holds no THETA; give K THETA PHI after the options, or "
                                 "the rates to evaluate with --rates LIST");
    }
    design.K = file.rule.K;
    design.looks = file.rule.looks;
    if (request.alternative && result.has_theta) {
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
      ReadData(&design.K, &design.theta, &design.phi);
      for (const std::string &fault :
           {request.alternative ? check_alternative(argv0, *request.alternative, design.theta)
                                : std::string(),
            check_design_options(argv0, request, design.theta)}) {
        if (!fault.empty()) {
          std::fputs(fault.c_str(), stderr);
          return 1;
        }
      }
    }
    const std::string fault =
        schedule_looks(design.K, request.looks, request.cohort, request.start, &design.looks);
    if (!fault.empty()) return fail(program, fault);
    design.shape = request.shape;
    design.min_events = request.min_events;
    banner();

    SetCrossingObserver(count_candidate, &progress);
    const int search = calibrate(design, &result.calibration);
    SetCrossingObserver(nullptr, nullptr);
    progress.line.clear();
    if (search != 0) return report_search_failure();
    if (result.calibration.never_stops) warn_never_stops(program, design.phi, design.theta);
  }
  banner();
  const Rule &rule = result.calibration.rule;

  // The table's rows: as the classic report chooses them, with THETA's figures taken from its row.
  ReportOptions options;
  options.rates = request.rates;
  options.alternative = request.alternative;
  std::size_t alternative_row = 0;
  std::vector<double> rates;
  if (result.has_theta) {
    rates = report_rows(options, design.theta, &alternative_row);
  } else {
    rates = request.rates;
    if (request.alternative) {
      const std::optional<std::size_t> at = row_at(rates, *request.alternative);
      alternative_row = at.value_or(rates.size());
      if (!at) rates.push_back(*request.alternative);
    }
  }
  if (request.alternative) result.alternative_row = alternative_row;
  if (result.has_theta) result.theta_row = row_at(rates, design.theta);
  if (result.evaluated && result.has_theta && !result.theta_row) {
    // The figures at THETA head the report even when the rates asked for leave it out.
    OcRow at_theta;
    if (rule_oc(rule, design.theta, &at_theta) != 0) return fail(program, "the rule could not be evaluated");
    result.calibration.phi_star = at_theta.p_stop;
  }
  for (std::size_t i = 0; i < rates.size(); ++i) {
    progress.line.show(program + ": operating characteristics, row " + std::to_string(i + 1) + " of " +
                       std::to_string(rates.size()));
    OcRow row;
    if (rule_oc(rule, rates[i], &row) != 0) return fail(program, "the rule could not be evaluated");
    result.oc.push_back(row);
  }
  progress.line.clear();
  if (result.evaluated && result.theta_row) result.calibration.phi_star = result.oc[*result.theta_row].p_stop;

  if (request.plot_file || request.report_file) {
    for (int i = 1; i <= kCurvePoints; ++i) {
      OcRow row;
      rule_oc_with(CrossingEngine::kExact, rule, i / 100.0, &row);
      result.curve.push_back(row);
    }
  }

  int status = 0;
  // A rule read from a file is written as a boundary file only when -o names one. The text report comes
  // before the file, so that a file sent to the same pipe follows it; the other formats state its fate.
  const bool write_file = !request.no_output && (!result.evaluated || request.output_file);
  result.date = datetime_text();
  if (write_file) result.boundary_file = request.output_file.value_or(kBoundaryFileName);
  if (text) {
    std::printf("\n");  // after the banner or the dialogue's answer, as the dialogue's report has it
    write_text_report_body(stdout, result);
    std::fflush(stdout);
  }
  if (write_file) {
    const std::vector<int> stages = stage_boundary(rule);
    const bool pocock = design.shape.kind == ShapeKind::kPocock;
    std::fflush(stdout);
    if (save_boundary_file(result.boundary_file.c_str(), argv0, stages.data(), result.calibration.constant,
                           result.calibration.phi_star, rule.K, design.theta, design.phi,
                           pocock ? "ALPHA" : "c") != 0) {
      result.boundary_file_failed = true;
      status = 1;
    }
  }
  if (text)
    write_text_report_ending(stdout, result);
  else
    write_report(stdout, request.format, result);
  if (request.plot_file && !save_text_file(*request.plot_file, svg_picture(result))) status = 1;
  if (request.report_file && !save_text_file(*request.report_file, html_page(result))) status = 1;
  return status;
}
