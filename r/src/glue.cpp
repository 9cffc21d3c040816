// The package's bridge to the core: R values in, the core's calls, R lists out.
// Every entry point catches the core's errors and returns them as a value of
// class "contmon_failure" that the R side turns into a condition, so no R
// error ever jumps over a C++ frame. Numbers reach the core's readers as their
// shortest decimal text, so that every message is the command line's.
#include <Rcpp.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "contmon/contmon.h"

namespace {

constexpr const char *kGenerator = "contmon (R package)";

// ---- Interrupts ------------------------------------------------------------------------------------------

// R_CheckUserInterrupt longjmps when an interrupt is pending; run inside R_ToplevelExec it only returns
// FALSE, leaving the C++ frames below intact.
void check_interrupt(void *) { R_CheckUserInterrupt(); }

// The core calls the progress callback on the calling thread (R's main thread). Looking at R's interrupt
// flag at most every 20 ms keeps a long exact search cheap; returning false makes the core throw Cancelled.
struct InterruptWatch {
  std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();
  bool interrupted = false;

  contmon::RunControl control() {
    contmon::RunControl control;
    control.progress = [this](double, std::string_view) {
      const auto now = std::chrono::steady_clock::now();
      if (now - last < std::chrono::milliseconds(20)) return true;
      last = now;
      if (!R_ToplevelExec(check_interrupt, nullptr)) interrupted = true;
      return !interrupted;
    };
    return control;
  }
};

// ---- Failures --------------------------------------------------------------------------------------------

Rcpp::List failure(const std::string &field, const std::string &message) {
  Rcpp::List out = Rcpp::List::create(Rcpp::Named("field") = field, Rcpp::Named("message") = message);
  out.attr("class") = "contmon_failure";
  return out;
}

// Runs body and turns the core's errors into failures. An interrupt is raised once every C++ frame of the
// call has unwound (Rcpp's wrapper turns the exception into R's interrupt).
template <class Body>
SEXP guarded(Body body) {
  std::optional<Rcpp::List> fault;
  bool interrupted = false;
  {
    try {
      return body();
    } catch (const contmon::Error &error) {
      fault = failure(error.field(), error.what());
    } catch (const contmon::Cancelled &) {
      interrupted = true;
    } catch (const std::bad_alloc &) {
      fault = failure("memory", "not enough memory for this run");
    }
  }
  if (interrupted) throw Rcpp::internal::InterruptedException();
  return *fault;
}

// ---- Values --------------------------------------------------------------------------------------------

// The shortest decimal text that reads back as x ("40", "0.2", "inf", "nan").
std::string number_text(double x) {
  if (std::isnan(x)) return "nan";
  if (std::isinf(x)) return x > 0 ? "inf" : "-inf";
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, x);
  return std::string(buffer, result.ptr);
}

std::string list_text(const Rcpp::NumericVector &values) {
  std::string text;
  for (R_xlen_t i = 0; i < values.size(); ++i) text += (i ? "," : "") + number_text(values[i]);
  return text;
}

// A whole-number option as the command line reads --cohort, --start and --min-events: 1 to 255.
int whole_option(const std::string &option, double value) {
  const std::string text = number_text(value);
  int number = 0;
  const auto [end, code] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (code != std::errc() || end != text.data() + text.size() || number < 1 || number > contmon::kMaxStages) {
    std::string field = option.substr(2);  // the R argument: "cohort", "start", "min_events"
    std::replace(field.begin(), field.end(), '-', '_');
    throw contmon::Error(field, "invalid " + option + " '" + text + "': give a whole number from 1 to " +
                                    std::to_string(contmon::kMaxStages));
  }
  return number;
}

contmon::Method method_of(bool exact) {
  contmon::Method method;
  method.kind = exact ? contmon::MethodKind::kExact : contmon::MethodKind::kSimulation;
  return method;
}

Rcpp::List oc_list(const std::vector<contmon::OcRow> &rows, bool exact) {
  const auto column = [&rows](double contmon::OcRow::*field) {
    Rcpp::NumericVector values(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) values[i] = rows[i].*field;
    return values;
  };
  Rcpp::List out = Rcpp::List::create(
      Rcpp::Named("rate") = column(&contmon::OcRow::rate), Rcpp::Named("p_stop") = column(&contmon::OcRow::p_stop),
      Rcpp::Named("p_stop_before_last") = column(&contmon::OcRow::p_stop_before_last),
      Rcpp::Named("mean_n") = column(&contmon::OcRow::mean_n), Rcpp::Named("sd_n") = column(&contmon::OcRow::sd_n),
      Rcpp::Named("mean_y") = column(&contmon::OcRow::mean_y), Rcpp::Named("sd_y") = column(&contmon::OcRow::sd_y),
      Rcpp::Named("mean_proportion") = column(&contmon::OcRow::mean_proportion),
      Rcpp::Named("sd_proportion") = column(&contmon::OcRow::sd_proportion));
  if (!exact) {
    out["se_p_stop"] = column(&contmon::OcRow::se_p_stop);
    out["se_mean_n"] = column(&contmon::OcRow::se_mean_n);
  }
  return out;
}

std::vector<contmon::OcRow> oc_rows(const Rcpp::List &oc) {
  std::vector<contmon::OcRow> rows;
  if (oc.size() == 0) return rows;
  const auto column = [&oc](const char *name) {
    return oc.containsElementNamed(name) ? Rcpp::NumericVector(oc[name]) : Rcpp::NumericVector();
  };
  const Rcpp::NumericVector rate = column("rate");
  rows.resize(rate.size());
  for (auto [name, field] : std::initializer_list<std::pair<const char *, double contmon::OcRow::*>>{
           {"rate", &contmon::OcRow::rate},
           {"p_stop", &contmon::OcRow::p_stop},
           {"p_stop_before_last", &contmon::OcRow::p_stop_before_last},
           {"mean_n", &contmon::OcRow::mean_n},
           {"sd_n", &contmon::OcRow::sd_n},
           {"mean_y", &contmon::OcRow::mean_y},
           {"sd_y", &contmon::OcRow::sd_y},
           {"mean_proportion", &contmon::OcRow::mean_proportion},
           {"sd_proportion", &contmon::OcRow::sd_proportion},
           {"se_p_stop", &contmon::OcRow::se_p_stop},
           {"se_mean_n", &contmon::OcRow::se_mean_n}}) {
    const Rcpp::NumericVector values = column(name);
    for (std::size_t i = 0; i < rows.size(); ++i)
      rows[i].*field = i < static_cast<std::size_t>(values.size()) ? values[i] : NAN;
  }
  return rows;
}

Rcpp::List decision_list(const contmon::Rule &rule) {
  const std::vector<contmon::DecisionRow> rows = contmon::decision_table(rule);
  Rcpp::IntegerVector from(rows.size()), to(rows.size()), count(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    from[i] = rows[i].from;
    to[i] = rows[i].to;
    count[i] = rows[i].count;
  }
  return Rcpp::List::create(Rcpp::Named("from") = from, Rcpp::Named("to") = to, Rcpp::Named("b") = count);
}

SEXP optional_number(bool present, double value) { return present ? Rcpp::wrap(value) : R_NilValue; }

// Everything the R object keeps of a report: the fields the writers need to be given the report back.
Rcpp::List report_list(const contmon::Report &report) {
  const contmon::Design &design = report.design;
  const contmon::Calibration &calibration = report.calibration;
  const contmon::Rule &rule = calibration.rule;
  Rcpp::List inputs = Rcpp::List::create(
      Rcpp::Named("K") = design.K, Rcpp::Named("theta") = optional_number(report.has_theta, design.theta),
      Rcpp::Named("phi") = optional_number(report.has_phi, design.phi),
      Rcpp::Named("shape") = report.evaluated ? R_NilValue : Rcpp::wrap(contmon::shape_argument(design.shape)),
      Rcpp::Named("looks") = Rcpp::wrap(rule.looks),
      Rcpp::Named("min_events") = report.evaluated ? R_NilValue : Rcpp::wrap(design.min_events));
  SEXP neighbour = R_NilValue;
  if (!report.evaluated && calibration.has_neighbour)
    neighbour = Rcpp::List::create(Rcpp::Named("constant") = calibration.neighbour_constant,
                                   Rcpp::Named("phi_star") = calibration.neighbour_phi_star);
  const bool known_phi_star = !report.evaluated || report.has_theta;
  return Rcpp::List::create(
      Rcpp::Named("boundary") =
          Rcpp::List::create(Rcpp::Named("n") = Rcpp::wrap(rule.looks), Rcpp::Named("b") = Rcpp::wrap(rule.counts)),
      Rcpp::Named("decision_table") = decision_list(rule),
      Rcpp::Named("phi_star") = known_phi_star ? calibration.phi_star : NA_REAL,
      Rcpp::Named("constant") = report.evaluated ? NA_REAL : calibration.constant,
      Rcpp::Named("neighbour") = neighbour, Rcpp::Named("sentence") = contmon::decision_sentence(report),
      Rcpp::Named("design") = inputs, Rcpp::Named("method") = report.exact ? "exact" : "simulation",
      Rcpp::Named("arguments") = report.evaluated ? R_NilValue : Rcpp::wrap(contmon::design_arguments(design)),
      Rcpp::Named("never_stops") = calibration.never_stops, Rcpp::Named("evaluated") = report.evaluated,
      Rcpp::Named("rule_file") = report.evaluated ? Rcpp::wrap(report.rule_file) : R_NilValue,
      Rcpp::Named("oc") = report.oc.empty() ? R_NilValue : Rcpp::wrap(oc_list(report.oc, report.exact)));
}

// The report back from the R object's fields (see report_list), for the writers and further figures.
contmon::Report report_of(const Rcpp::List &object) {
  contmon::Report report;
  report.version = contmon::kVersion;
  report.exact = Rcpp::as<std::string>(object["method"]) == "exact";
  const contmon::Method method = method_of(report.exact);
  report.trials = report.exact ? 0 : method.trials;
  report.seed = report.exact ? 0 : method.seed;
  report.evaluated = Rcpp::as<bool>(object["evaluated"]);
  if (report.evaluated && !Rf_isNull(object["rule_file"])) report.rule_file = Rcpp::as<std::string>(object["rule_file"]);

  const Rcpp::List inputs = object["design"];
  contmon::Design &design = report.design;
  design.K = Rcpp::as<int>(inputs["K"]);
  report.has_theta = !Rf_isNull(inputs["theta"]);
  report.has_phi = !Rf_isNull(inputs["phi"]);
  if (report.has_theta) design.theta = Rcpp::as<double>(inputs["theta"]);
  if (report.has_phi) design.phi = Rcpp::as<double>(inputs["phi"]);
  if (!Rf_isNull(inputs["shape"])) design.shape = contmon::parse_shape(Rcpp::as<std::string>(inputs["shape"]));
  if (!Rf_isNull(inputs["min_events"])) design.min_events = Rcpp::as<int>(inputs["min_events"]);
  const Rcpp::List boundary = object["boundary"];
  contmon::Rule &rule = report.calibration.rule;
  rule.K = design.K;
  rule.looks = Rcpp::as<std::vector<int>>(boundary["n"]);
  rule.counts = Rcpp::as<std::vector<int>>(boundary["b"]);
  design.looks = rule.looks;
  contmon::check_rule(rule);

  contmon::Calibration &calibration = report.calibration;
  calibration.never_stops = Rcpp::as<bool>(object["never_stops"]);
  if (!report.evaluated) calibration.constant = Rcpp::as<double>(object["constant"]);
  const double phi_star = Rcpp::as<double>(object["phi_star"]);
  if (!std::isnan(phi_star)) calibration.phi_star = phi_star;
  if (!Rf_isNull(object["neighbour"])) {
    const Rcpp::List neighbour = object["neighbour"];
    calibration.has_neighbour = true;
    calibration.neighbour_constant = Rcpp::as<double>(neighbour["constant"]);
    calibration.neighbour_phi_star = Rcpp::as<double>(neighbour["phi_star"]);
  }
  if (!Rf_isNull(object["oc"])) report.oc = oc_rows(object["oc"]);
  if (report.has_theta)
    for (std::size_t i = 0; i < report.oc.size(); ++i)
      if (std::fabs(report.oc[i].rate - design.theta) <= 1e-10) {
        report.theta_row = i;
        break;
      }
  return report;
}

std::string never_stops_warning(const contmon::Design &design) {
  char text[400];
  std::snprintf(text, sizeof text,
                "no boundary keeps the probability of stopping at or below PHI = %g when THETA = %g, so the "
                "boundary reported never stops the trial; choose a larger PHI or a larger K",
                design.phi, design.theta);
  return text;
}

}  // namespace

// [[Rcpp::export(.cm_design)]]
SEXP cm_design(double K, double theta, double phi, std::string shape, Rcpp::NumericVector looks, double cohort,
               double start, double min_events, bool exact) {
  return guarded([&]() -> SEXP {
    // In the command line's order: the options' values, then K THETA PHI, then the schedule and the design.
    contmon::ReportRequest request;
    contmon::Design &design = request.design;
    design.shape = contmon::parse_shape(shape);
    std::vector<int> list;
    if (looks.size() > 0) list = contmon::parse_looks(list_text(looks));
    const int cohort_value = std::isnan(cohort) ? 0 : whole_option("--cohort", cohort);
    const int start_value = std::isnan(start) ? 0 : whole_option("--start", start);
    design.min_events = whole_option("--min-events", min_events);
    design.K = contmon::parse_sample_size(number_text(K));
    design.theta = contmon::parse_probability("THETA", number_text(theta));
    design.phi = contmon::parse_probability("PHI", number_text(phi));
    if (!list.empty() && cohort_value != 0)
      throw contmon::Error("looks", "give the looks either as --looks LIST or as --cohort C, not both");
    design.looks = contmon::schedule_looks(design.K, list, cohort_value, start_value);
    contmon::check_design(design);

    InterruptWatch watch;
    const contmon::Report report = contmon::report(request, method_of(exact), watch.control());
    Rcpp::List out = report_list(report);
    if (report.calibration.never_stops) out["warning"] = never_stops_warning(design);
    return out;
  });
}

// [[Rcpp::export(.cm_oc)]]
SEXP cm_oc(Rcpp::List object, Rcpp::NumericVector rates) {
  return guarded([&]() -> SEXP {
    const contmon::Report report = report_of(object);
    const contmon::Method method = method_of(report.exact);
    std::vector<double> asked;
    if (rates.size() > 0) asked = contmon::parse_rates(list_text(rates));
    std::vector<double> table = asked;
    if (report.has_theta) {
      std::size_t unused = 0;
      table = contmon::table_rates(asked, report.design.theta, std::nullopt, &unused);
    }
    InterruptWatch watch;
    if (table.empty()) {
      // A plain rule with no rates: the core's report says what is missing.
      contmon::ReportRequest request;
      request.rule = report.calibration.rule;
      request.has_theta = request.has_phi = false;
      contmon::report(request, method, watch.control());
    }
    // As in a run of the program: a calibrated simulation's row at THETA is the evaluation that gave PHI*.
    std::optional<contmon::OcRow> at_theta;
    if (!report.exact && !report.evaluated && report.theta_row) at_theta = report.oc[*report.theta_row];
    std::vector<double> computed;
    for (double rate : table)
      if (!(at_theta && rate == report.design.theta)) computed.push_back(rate);
    const std::vector<contmon::OcRow> figures =
        contmon::characteristics(report.calibration.rule, computed, method, watch.control());
    std::vector<contmon::OcRow> rows;
    for (std::size_t i = 0, next = 0; i < table.size(); ++i)
      rows.push_back(at_theta && table[i] == report.design.theta ? *at_theta : figures[next++]);
    return oc_list(rows, report.exact);
  });
}

// [[Rcpp::export(.cm_evaluate)]]
SEXP cm_evaluate(Rcpp::NumericVector counts, Rcpp::NumericVector looks, Rcpp::NumericVector rates, bool exact) {
  return guarded([&]() -> SEXP {
    contmon::Rule rule;
    rule.looks.assign(looks.begin(), looks.end());
    rule.counts.assign(counts.begin(), counts.end());
    rule.K = rule.looks.empty() ? 0 : rule.looks.back();
    contmon::ReportRequest request;
    request.rule = rule;
    request.has_theta = request.has_phi = false;
    if (rates.size() > 0) request.rates = contmon::parse_rates(list_text(rates));
    InterruptWatch watch;
    const contmon::Report report = contmon::report(request, method_of(exact), watch.control());
    return oc_list(report.oc, report.exact);
  });
}

// [[Rcpp::export(.cm_read_boundary)]]
SEXP cm_read_boundary(std::string name, Rcpp::RawVector bytes) {
  return guarded([&]() -> SEXP {
    const std::string text(bytes.begin(), bytes.end());
    const contmon::RuleFile file = contmon::parse_rule_file(name, text);
    contmon::ReportRequest request;
    request.rule = file.rule;
    request.has_theta = file.theta.has_value();
    request.has_phi = file.phi.has_value();
    request.design.theta = file.theta.value_or(0.0);
    request.design.phi = file.phi.value_or(0.0);
    contmon::Report report;
    if (request.has_theta) {
      InterruptWatch watch;
      report = contmon::report(request, method_of(true), watch.control());
    } else {
      // Without THETA there is no table to compute: the rule alone.
      report.exact = report.evaluated = true;
      report.has_theta = report.has_phi = false;
      report.calibration.rule = file.rule;
      report.design.K = file.rule.K;
      report.design.looks = file.rule.looks;
    }
    report.rule_file = name;
    return report_list(report);
  });
}

// [[Rcpp::export(.cm_boundary_text)]]
SEXP cm_boundary_text(Rcpp::List object) {
  return guarded([&]() -> SEXP { return Rcpp::wrap(contmon::boundary_file_text(report_of(object), kGenerator)); });
}

// The command line's report from its first line to the sentence (full: to the end of the table's
// definitions), without the boundary's line per look.
// [[Rcpp::export(.cm_print_text)]]
SEXP cm_print_text(Rcpp::List object, bool full) {
  return guarded([&]() -> SEXP {
    const std::string body = contmon::text_report_body(report_of(object));
    const std::size_t boundary = body.find("\nThe upper boundary is:\n");
    const std::size_t decisions = body.find("\nDecision table:\n");
    const std::size_t table = body.find("\nTHETA", decisions);
    if (boundary == std::string::npos || decisions == std::string::npos || table == std::string::npos)
      return Rcpp::wrap(body);
    return Rcpp::wrap(body.substr(0, boundary + 1) +
                      body.substr(decisions + 1, full ? std::string::npos : table - decisions));
  });
}

// [[Rcpp::export(.cm_version)]]
std::string cm_version() { return contmon::kVersion; }

// [[Rcpp::export(.cm_default_rates)]]
SEXP cm_default_rates(double theta) {
  return guarded([&]() -> SEXP { return Rcpp::wrap(contmon::default_rates(theta)); });
}
