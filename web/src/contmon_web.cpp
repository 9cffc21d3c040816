// The page's entry points into the library. contmon_web_run takes the form's
// fields as typed (a JSON object of strings keyed by the command line's option
// names), reads them with the library's own readers and returns, as JSON,
// either the message of each invalid field or the rule and its table;
// contmon_web_finish then adds the curve of the pictures and returns every
// output file, written by the library's writers as contmon-exact writes them.
// The table comes first so that it shows while the curve is computed.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <exception>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "contmon/contmon.h"
#include "core/text.h"

namespace contmon::app {
std::string read_whole_option(std::string_view option, std::string_view text, int low, int high, int *value);
}

namespace {

using Json = nlohmann::ordered_json;
using contmon::Error;

// The name the outputs give their program: the page computes what contmon-exact computes.
constexpr const char *kProgram = "contmon-exact";

// The form's fields and the messages of those that cannot be read, in the form's order.
class Fields {
 public:
  explicit Fields(const Json &input) : input_(input) {}

  std::string text(const char *name) const {
    const auto it = input_.find(name);
    return it != input_.end() && it->is_string() ? it->get<std::string>() : "";
  }
  bool given(const char *name) const { return !text(name).empty(); }

  // Runs read(), recording an Error's message under field; false when it threw.
  template <class Read>
  bool read(const char *field, Read read) {
    try {
      read();
      return true;
    } catch (const Error &error) {
      fail(field, error.what());
      return false;
    }
  }

  void fail(const std::string &field, const std::string &message) {
    errors_.push_back({{"field", field}, {"message", message}});
  }

  void whole(const char *field, const char *option, int *value) {
    if (!given(field)) return;
    const std::string fault = contmon::app::read_whole_option(option, text(field), 1, contmon::kMaxStages, value);
    if (!fault.empty()) fail(field, fault);
  }

  const Json &errors() const { return errors_; }

 private:
  const Json &input_;
  Json errors_ = Json::array();
};

// The design of the last contmon_web_run, for contmon_web_finish.
contmon::Report last_report;
std::optional<contmon::SampleSizeSearch> last_search;  // with a search for K: the search
double last_power = 0.0;
std::vector<contmon::Report> last_reports;  // with other shapes compared: the form's first, then the others
bool last_ok = false;

Json run(const Json &input) {
  Fields fields(input);
  contmon::ReportRequest request;
  contmon::Design &design = request.design;
  std::vector<int> list;
  int cohort = 0, start = 0;
  const bool K_read = fields.read("K", [&] { design.K = contmon::parse_sample_size(fields.text("K")); });
  const bool theta_read =
      fields.read("theta", [&] { design.theta = contmon::parse_probability("THETA", fields.text("theta")); });
  // With a fixed constant PHI may be left out, as on the command line; the design then carries 0.5 for it.
  const bool fixed = fields.given("constant");
  request.has_phi = !fixed || fields.given("phi");
  if (request.has_phi)
    fields.read("phi", [&] { design.phi = contmon::parse_probability("PHI", fields.text("phi")); });
  else
    design.phi = 0.5;
  if (fields.given("shape")) fields.read("shape", [&] { design.shape = contmon::parse_shape(fields.text("shape")); });
  if (fixed) fields.read("constant", [&] { request.constant = contmon::parse_number("--constant", fields.text("constant")); });
  // Other shapes to compare with the form's, separated by spaces, as further --shape options.
  std::vector<contmon::Shape> compared;
  if (fields.given("compare")) {
    if (fixed) {
      fields.fail("compare", "several --shape are compared at their calibrated constants; --constant takes one shape");
    } else {
      const std::string text = fields.text("compare");
      for (std::size_t end = 0, start; (start = text.find_first_not_of(" \t", end)) != std::string::npos;) {
        end = std::min(text.find_first_of(" \t", start), text.size());
        if (!fields.read("compare", [&] { compared.push_back(contmon::parse_shape(text.substr(start, end - start))); }))
          break;
      }
    }
  }
  if (fields.given("looks")) fields.read("looks", [&] { list = contmon::parse_looks(fields.text("looks")); });
  if (fields.given("looks") && fields.given("cohort"))
    fields.fail("cohort", "give the looks either as --looks LIST or as --cohort C, not both");
  else
    fields.whole("cohort", "--cohort", &cohort);
  fields.whole("start", "--start", &start);
  fields.whole("min-events", "--min-events", &design.min_events);
  if (fields.given("rates")) fields.read("rates", [&] { request.rates = contmon::parse_rates(fields.text("rates")); });
  // Trial conduct takes both times or neither; the message stands beside the one left empty.
  if (fields.given("accrual") != fields.given("window")) {
    const bool accrual = fields.given("accrual");
    fields.fail(accrual ? "window" : "accrual",
                std::string(accrual ? "--accrual" : "--window") + " needs " + (accrual ? "--window TAU" : "--accrual A") +
                    ": patients enter over A time units and each outcome is known TAU after entry");
  } else if (fields.given("accrual")) {
    contmon::Accrual accrual;
    const bool period_read = fields.read(
        "accrual", [&] { accrual.period = contmon::parse_duration("--accrual", fields.text("accrual")); });
    const bool window_read =
        fields.read("window", [&] { accrual.window = contmon::parse_duration("--window", fields.text("window")); });
    if (period_read && window_read) request.accrual = accrual;
  }
  if (fields.given("alternative")) {
    double P1 = 0.0;
    try {
      P1 = contmon::parse_probability("P1", fields.text("alternative"));
      request.alternative = P1;
    } catch (const Error &error) {
      fields.fail("alternative", std::string("--alternative: ") + error.what());
    }
    if (request.alternative && theta_read && !(P1 > design.theta))
      fields.fail("alternative", "--alternative P1 = " + contmon::shortest(P1) + " is not above THETA = " +
                                     contmon::shortest(design.theta) +
                                     ": P1 is an unacceptable event probability, higher than THETA");
  }
  // The search for K: every K' up to K designed, the smallest whose power at P1 reaches POWER reported.
  std::optional<double> power;
  if (fields.given("find-k")) {
    if (fixed)
      fields.fail("find-k", "--find-k calibrates every K; it does not take --constant");
    else if (!compared.empty())
      fields.fail("find-k", "several --shape are compared at their calibrated constants; --find-k takes one shape");
    else if (!fields.given("alternative"))
      fields.fail("find-k", "--find-k POWER needs --alternative P1: the power is the probability of stopping at P1");
    else
      try {
        power = contmon::parse_probability("POWER", fields.text("find-k"));
      } catch (const Error &error) {
        fields.fail("find-k", std::string("--find-k: ") + error.what());
      }
  }
  if (fields.errors().empty() && K_read) {
    try {
      design.looks = contmon::schedule_looks(design.K, list, cohort, start);
      contmon::check_design(design);
      for (const contmon::Shape &shape : compared) {
        contmon::Design other = design;
        other.shape = shape;
        if (!fields.read("compare", [&] { contmon::check_design(other); })) break;
      }
    } catch (const Error &error) {
      // The schedule's messages belong to the field that gave the looks.
      std::string field = error.field() == "min_events" ? "min-events" : error.field();
      if (field == "looks" && !fields.given("looks"))
        field = std::string(error.what()).find("start") != std::string::npos || !fields.given("cohort") ? "start"
                                                                                                         : "cohort";
      fields.fail(field, error.what());
    }
  }
  if (!fields.errors().empty()) return Json{{"ok", false}, {"errors", fields.errors()}};

  contmon::Method method;
  method.threads = 0;  // no threads in the page's worker
  contmon::Report report;
  std::vector<contmon::Report> others;
  last_search.reset();
  try {
    if (power) {
      const contmon::Schedule schedule{list, cohort, start};
      last_search = contmon::find_sample_size(design, schedule, *request.alternative, *power);
      design.K = last_search->smallest_k.value_or(last_search->best_k);
      design.looks = contmon::schedule_for(design.K, schedule);
      design.min_events = std::min(design.min_events, design.K);
    }
    report = contmon::report(request, method);
    for (const contmon::Shape &shape : compared) {
      contmon::ReportRequest other = request;
      other.design.shape = shape;
      others.push_back(contmon::report(other, method));
    }
  } catch (const Error &error) {
    // A constant the shape cannot take is found only here.
    fields.fail(error.field() == "constant" ? "constant" : error.field() == "power" ? "find-k" : "", error.what());
    return Json{{"ok", false}, {"errors", fields.errors()}};
  }
  report.program = kProgram;
  report.version = contmon::kVersion;
  const std::time_t now = std::time(nullptr);
  report.date = contmon::local_date_text(now);
  report.timestamp = contmon::utc_timestamp_text(now);
  last_reports.clear();
  if (!others.empty()) {
    last_reports.push_back(report);
    for (contmon::Report &other : others) {
      other.program = report.program, other.version = report.version;
      other.date = report.date, other.timestamp = report.timestamp;
      last_reports.push_back(std::move(other));
    }
  }

  Json out;
  out["ok"] = true;
  // The JSON document's arguments give back a fixed constant too, and leave out a PHI not given.
  out["arguments"] = contmon::report_arguments(report);
  if (!last_reports.empty()) {
    // A comparison: every shape as --shape, then the first design's other arguments.
    std::string shapes, rest = out["arguments"].get<std::string>();
    const std::string own = "--shape " + contmon::shape_argument(report.design.shape) + " ";
    if (rest.rfind(own, 0) == 0) rest.erase(0, own.size());
    for (const contmon::Report &one : last_reports) shapes += "--shape " + contmon::shape_argument(one.design.shape) + " ";
    out["arguments"] = shapes + rest;
  }
  out["sentence"] = contmon::decision_sentence(report);
  out["phi_star"] = contmon::general(report.calibration.phi_star);
  out["phi_star_value"] = report.calibration.phi_star;
  // A fixed constant's rule may stop more often at THETA than PHI allows: the program's warning, then.
  const contmon::Calibration &c = report.calibration;
  if (c.fixed && report.has_phi && c.phi_star_exact > design.phi) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "warning: the rule of the constant given stops with probability %g at THETA = %g (computed "
                  "exactly), above PHI = %g",
                  c.phi_star_exact, design.theta, design.phi);
    out["warning"] = text;
  }
  Json rows = Json::array();
  for (const contmon::DecisionRow &row : contmon::decision_table(report.calibration.rule))
    rows.push_back({row.from, row.to, row.count});
  out["decision"] = rows;
  // The tables of characteristics and of trial conduct, and the decision table with its observed rates, as
  // the report page shows them (its pictures are not drawn yet).
  out["html"] = contmon::to_html(report);
  if (last_search) {
    out["search"] = contmon::search_text(*last_search, *power);
    last_power = *power;
  }
  // With other shapes, the report page of the comparison, for its table.
  if (!last_reports.empty()) out["comparison_html"] = contmon::to_html(last_reports);
  // The probabilities of stopping at each look and by then, at THETA, as --by-look --format csv writes them.
  if (report.theta_row) {
    contmon::Report at_theta = report;
    at_theta.by_look = true;
    at_theta.oc = {report.oc[*report.theta_row]};
    out["looks_csv"] = contmon::to_csv(at_theta);
  }
  last_report = std::move(report);
  last_ok = true;
  return out;
}

Json finish() {
  if (!last_ok) return Json{{"ok", false}};
  contmon::Report &report = last_report;
  if (report.curve.empty()) report.curve = contmon::characteristics(report.calibration.rule, contmon::curve_rates());
  Json out;
  out["ok"] = true;
  out["svg"] = contmon::to_svg(report);
  out["html"] = contmon::to_html(report);
  out["json"] = last_search ? contmon::to_json(report, *last_search, last_power) : contmon::to_json(report);
  out["csv"] = contmon::to_csv(report);
  out["boundary"] = contmon::boundary_file_text(report, kProgram);
  // A comparison's files are the comparison's, as several --shape write them; the boundary file is the first's.
  if (!last_reports.empty()) {
    last_reports.front().curve = report.curve;
    for (contmon::Report &other : last_reports)
      if (other.curve.empty()) other.curve = contmon::characteristics(other.calibration.rule, contmon::curve_rates());
    out["svg"] = contmon::to_svg(last_reports);
    out["html"] = contmon::to_html(last_reports);
    out["json"] = contmon::to_format(contmon::OutputFormat::kJson, last_reports);
    out["csv"] = contmon::to_format(contmon::OutputFormat::kCsv, last_reports);
  }
  return out;
}

// The JSON text of compute()'s answer, or of the message of what it threw; bytes of no UTF-8 character
// (none of the library's texts has them) would show as U+FFFD.
template <class Compute>
std::string text_of(Compute compute) {
  Json answer;
  try {
    answer = compute();
  } catch (const std::exception &error) {
    answer = Json{{"ok", false}, {"errors", {{{"field", ""}, {"message", error.what()}}}}};
  }
  return answer.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

extern "C" {

/// The outputs of the design in the JSON text request, as JSON text (valid until the next call).
const char *contmon_web_run(const char *request) {
  static std::string answer;
  last_ok = false;
  answer = text_of([&] { return run(Json::parse(request)); });
  return answer.c_str();
}

/// Every output file of the design of the last contmon_web_run, with its pictures, as JSON text.
const char *contmon_web_finish() {
  static std::string answer;
  answer = text_of(finish);
  return answer.c_str();
}

/// The version of the library, e.g. "1.2".
const char *contmon_web_version() { return contmon::kVersion; }
}
