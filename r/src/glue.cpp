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

// A whole-number option as the command line reads --cohort, --start and --min-events (1 to 255), --trials
// and --seed.
int whole_option(const std::string &option, double value, int low = 1, int high = contmon::kMaxStages) {
  const std::string text = number_text(value);
  int number = 0;
  const auto [end, code] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (code != std::errc() || end != text.data() + text.size() || number < low || number > high) {
    std::string field = option.substr(2);  // the R argument: "cohort", "start", "min_events"
    std::replace(field.begin(), field.end(), '-', '_');
    throw contmon::Error(field, "invalid " + option + " '" + text + "': give a whole number from " +
                                    std::to_string(low) + " to " + std::to_string(high));
  }
  return number;
}

contmon::Method method_of(bool exact, int trials = contmon::kSimulatedTrials, int seed = contmon::kDefaultSeed) {
  contmon::Method method;
  method.kind = exact ? contmon::MethodKind::kExact : contmon::MethodKind::kSimulation;
  method.trials = trials;
  method.seed = seed;
  return method;
}

Rcpp::List oc_list(const std::vector<contmon::OcRow> &rows, bool exact, bool conduct = false) {
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
  Rcpp::List at_look(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) at_look[i] = Rcpp::wrap(rows[i].p_stop_at_look);
  out["p_stop_at_look"] = at_look;
  if (conduct) {
    out["mean_enrolled"] = column(&contmon::OcRow::mean_enrolled);
    out["mean_calendar_time"] = column(&contmon::OcRow::mean_calendar_time);
    out["mean_events_with_pending"] = column(&contmon::OcRow::mean_events_with_pending);
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
           {"se_mean_n", &contmon::OcRow::se_mean_n},
           {"mean_enrolled", &contmon::OcRow::mean_enrolled},
           {"mean_calendar_time", &contmon::OcRow::mean_calendar_time},
           {"mean_events_with_pending", &contmon::OcRow::mean_events_with_pending}}) {
    const Rcpp::NumericVector values = column(name);
    for (std::size_t i = 0; i < rows.size(); ++i)
      rows[i].*field = i < static_cast<std::size_t>(values.size()) ? values[i] : NAN;
  }
  if (oc.containsElementNamed("p_stop_at_look")) {
    const Rcpp::List at_look = oc["p_stop_at_look"];
    for (std::size_t i = 0; i < rows.size() && i < static_cast<std::size_t>(at_look.size()); ++i)
      rows[i].p_stop_at_look = Rcpp::as<std::vector<double>>(at_look[i]);
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

// The looks and counts, with the observed rate at a stop and its exact 95% interval (NA where no stop is
// possible), as the JSON report gives them.
Rcpp::List boundary_list(const contmon::Rule &rule) {
  const std::size_t size = std::min(rule.looks.size(), rule.counts.size());
  Rcpp::NumericVector observed(size), low(size), high(size);
  for (std::size_t i = 0; i < size; ++i) {
    const int n = rule.looks[i], b = rule.counts[i];
    if (b <= n) {
      const auto [lower, upper] = contmon::clopper_pearson(b, n);
      observed[i] = static_cast<double>(b) / n;
      low[i] = lower;
      high[i] = upper;
    } else {
      observed[i] = low[i] = high[i] = NA_REAL;
    }
  }
  return Rcpp::List::create(Rcpp::Named("n") = Rcpp::wrap(rule.looks), Rcpp::Named("b") = Rcpp::wrap(rule.counts),
                            Rcpp::Named("observed_rate") = observed, Rcpp::Named("ci_low") = low,
                            Rcpp::Named("ci_high") = high);
}

SEXP optional_index(const std::optional<std::size_t> &index) {
  return index ? Rcpp::wrap(static_cast<int>(*index)) : R_NilValue;
}

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
  inputs["alternative"] = report.alternative ? Rcpp::wrap(*report.alternative) : R_NilValue;
  inputs["accrual"] = report.accrual ? Rcpp::wrap(report.accrual->period) : R_NilValue;
  inputs["window"] = report.accrual ? Rcpp::wrap(report.accrual->window) : R_NilValue;
  const bool known_phi_star = !report.evaluated || report.has_theta;
  Rcpp::List out = Rcpp::List::create(
      Rcpp::Named("boundary") = boundary_list(rule),
      Rcpp::Named("decision_table") = decision_list(rule),
      Rcpp::Named("phi_star") = known_phi_star ? calibration.phi_star : NA_REAL,
      Rcpp::Named("constant") = report.evaluated ? NA_REAL : calibration.constant,
      Rcpp::Named("neighbour") = neighbour, Rcpp::Named("sentence") = contmon::decision_sentence(report),
      Rcpp::Named("design") = inputs, Rcpp::Named("method") = report.exact ? "exact" : "simulation",
      Rcpp::Named("arguments") = report.evaluated ? R_NilValue : Rcpp::wrap(contmon::report_arguments(report)),
      Rcpp::Named("never_stops") = calibration.never_stops, Rcpp::Named("evaluated") = report.evaluated,
      Rcpp::Named("rule_file") = report.evaluated ? Rcpp::wrap(report.rule_file) : R_NilValue,
      Rcpp::Named("oc") =
          report.oc.empty() ? R_NilValue : Rcpp::wrap(oc_list(report.oc, report.exact, report.accrual.has_value())));
  // Rcpp::List::create takes at most 20 elements: the rest are added one by one.
  out["phi_star_exact"] = !report.evaluated && !report.exact ? Rcpp::wrap(calibration.phi_star_exact) : R_NilValue;
  out["constant_fixed"] = calibration.fixed;
  out["within_phi"] = calibration.fixed && report.has_phi
                          ? Rcpp::wrap(calibration.phi_star_exact <= design.phi) : R_NilValue;
  out["trials"] = report.exact ? R_NilValue : Rcpp::wrap(static_cast<int>(report.trials));
  out["seed"] = report.exact ? R_NilValue : Rcpp::wrap(report.seed);
  out["theta_row"] = report.has_theta ? optional_index(report.theta_row) : R_NilValue;
  out["alternative_row"] = report.alternative ? optional_index(report.alternative_row) : R_NilValue;
  return out;
}

// The report back from the R object's fields (see report_list), for the writers and further figures.
contmon::Report report_of(const Rcpp::List &object) {
  contmon::Report report;
  report.version = contmon::kVersion;
  report.exact = Rcpp::as<std::string>(object["method"]) == "exact";
  if (!report.exact) {
    report.trials = object.containsElementNamed("trials") && !Rf_isNull(object["trials"])
                        ? static_cast<long long>(Rcpp::as<double>(object["trials"])) : contmon::kSimulatedTrials;
    report.seed = object.containsElementNamed("seed") && !Rf_isNull(object["seed"]) ? Rcpp::as<int>(object["seed"])
                                                                                    : contmon::kDefaultSeed;
  }
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
  const auto present = [](const Rcpp::List &list, const char *name) {
    return list.containsElementNamed(name) && !Rf_isNull(list[name]);
  };
  if (present(inputs, "alternative")) report.alternative = Rcpp::as<double>(inputs["alternative"]);
  if (present(inputs, "accrual") && present(inputs, "window"))
    report.accrual = contmon::Accrual{Rcpp::as<double>(inputs["accrual"]), Rcpp::as<double>(inputs["window"])};
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
  if (present(object, "phi_star_exact")) calibration.phi_star_exact = Rcpp::as<double>(object["phi_star_exact"]);
  if (present(object, "constant_fixed")) calibration.fixed = Rcpp::as<bool>(object["constant_fixed"]);
  if (!Rf_isNull(object["oc"])) report.oc = oc_rows(object["oc"]);
  if (report.has_theta)
    for (std::size_t i = 0; i < report.oc.size(); ++i)
      if (std::fabs(report.oc[i].rate - design.theta) <= 1e-10) {
        report.theta_row = i;
        break;
      }
  if (report.alternative)
    for (std::size_t i = 0; i < report.oc.size(); ++i)
      if (std::fabs(report.oc[i].rate - *report.alternative) <= 1e-10) {
        report.alternative_row = i;
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

// The inputs of a design as R gives them: NaN (R's NA) for an option left out.
struct DesignInputs {
  double K, theta, phi;
  Rcpp::CharacterVector shapes;
  Rcpp::NumericVector looks;
  double cohort, start, min_events, constant, alternative, accrual, window;
};

// The request for a design, its values read and checked in the command line's order: the options, then
// K THETA PHI, then the accrual and the alternative, then the schedule and the design for every shape.
contmon::ReportRequest design_request(const DesignInputs &in, contmon::Schedule *schedule,
                                      std::vector<contmon::Shape> *shapes) {
  contmon::ReportRequest request;
  contmon::Design &design = request.design;
  for (R_xlen_t i = 0; i < in.shapes.size(); ++i)
    shapes->push_back(contmon::parse_shape(Rcpp::as<std::string>(in.shapes[i])));
  design.shape = shapes->front();
  if (in.looks.size() > 0) schedule->list = contmon::parse_looks(list_text(in.looks));
  schedule->cohort = std::isnan(in.cohort) ? 0 : whole_option("--cohort", in.cohort);
  schedule->start = std::isnan(in.start) ? 0 : whole_option("--start", in.start);
  design.min_events = whole_option("--min-events", in.min_events);
  if (!std::isnan(in.constant)) request.constant = contmon::parse_number("--constant", number_text(in.constant));
  design.K = contmon::parse_sample_size(number_text(in.K));
  design.theta = contmon::parse_probability("THETA", number_text(in.theta));
  request.has_phi = !std::isnan(in.phi);
  design.phi = request.has_phi ? contmon::parse_probability("PHI", number_text(in.phi)) : 0.5;
  if (std::isnan(in.accrual) != std::isnan(in.window)) {
    const bool accrual = !std::isnan(in.accrual);
    throw contmon::Error(accrual ? "window" : "accrual",
                         std::string(accrual ? "--accrual" : "--window") + " needs " +
                             (accrual ? "--window TAU" : "--accrual A") +
                             ": patients enter over A time units and each outcome is known TAU after entry");
  }
  if (!std::isnan(in.accrual))
    request.accrual = contmon::Accrual{contmon::parse_duration("--accrual", number_text(in.accrual)),
                                       contmon::parse_duration("--window", number_text(in.window))};
  if (!std::isnan(in.alternative)) {
    double P1 = 0.0;
    try {
      P1 = contmon::parse_probability("P1", number_text(in.alternative));
    } catch (const contmon::Error &error) {
      throw contmon::Error("alternative", std::string("--alternative: ") + error.what());
    }
    if (!(P1 > design.theta))
      throw contmon::Error("alternative", "--alternative P1 = " + number_text(P1) + " is not above THETA = " +
                                              number_text(design.theta) +
                                              ": P1 is an unacceptable event probability, higher than THETA");
    request.alternative = P1;
  }
  if (!schedule->list.empty() && schedule->cohort != 0)
    throw contmon::Error("looks", "give the looks either as --looks LIST or as --cohort C, not both");
  design.looks = contmon::schedule_looks(design.K, schedule->list, schedule->cohort, schedule->start);
  for (const contmon::Shape &shape : *shapes) {
    contmon::Design other = design;
    other.shape = shape;
    contmon::check_design(other);
  }
  return request;
}

DesignInputs design_inputs(double K, double theta, double phi, Rcpp::CharacterVector shapes,
                           Rcpp::NumericVector looks, double cohort, double start, double min_events,
                           double constant, double alternative, double accrual, double window) {
  return DesignInputs{K, theta, phi, shapes, looks, cohort, start, min_events, constant, alternative, accrual, window};
}

contmon::Method simulation_method(bool exact, double trials, double seed) {
  return method_of(exact,
                   std::isnan(trials) ? contmon::kSimulatedTrials
                                      : whole_option("--trials", trials, contmon::kFewestTrials, contmon::kMostTrials),
                   std::isnan(seed) ? contmon::kDefaultSeed : whole_option("--seed", seed, 0, contmon::kMostSeed));
}

Rcpp::List design_result(const contmon::Report &report) {
  Rcpp::List out = report_list(report);
  if (!report.calibration.fixed && report.calibration.never_stops) out["warning"] = never_stops_warning(report.design);
  return out;
}

}  // namespace

// [[Rcpp::export(.cm_design)]]
SEXP cm_design(double K, double theta, double phi, std::string shape, Rcpp::NumericVector looks, double cohort,
               double start, double min_events, bool exact, double constant, double alternative, double accrual,
               double window, double trials, double seed) {
  return guarded([&]() -> SEXP {
    contmon::Schedule schedule;
    std::vector<contmon::Shape> shapes;
    const contmon::Method method = simulation_method(exact, trials, seed);
    const contmon::ReportRequest request =
        design_request(design_inputs(K, theta, phi, Rcpp::CharacterVector::create(shape), looks, cohort, start,
                                     min_events, constant, alternative, accrual, window),
                       &schedule, &shapes);
    InterruptWatch watch;
    return design_result(contmon::report(request, method, watch.control()));
  });
}

// One report per shape, as the command line compares shapes given with --shape several times.
// [[Rcpp::export(.cm_compare)]]
SEXP cm_compare(double K, double theta, double phi, Rcpp::CharacterVector shapes, Rcpp::NumericVector looks,
                double cohort, double start, double min_events, double alternative, bool exact) {
  return guarded([&]() -> SEXP {
    contmon::Schedule schedule;
    std::vector<contmon::Shape> parsed;
    contmon::ReportRequest request =
        design_request(design_inputs(K, theta, phi, shapes, looks, cohort, start, min_events, NAN, alternative, NAN,
                                     NAN),
                       &schedule, &parsed);
    InterruptWatch watch;
    Rcpp::List out(parsed.size());
    for (std::size_t i = 0; i < parsed.size(); ++i) {
      request.design.shape = parsed[i];
      out[i] = design_result(contmon::report(request, method_of(exact), watch.control()));
    }
    return out;
  });
}

// The search for the sample size from 1 to K, then the report of the K found (the smallest reaching the
// power, else the most powerful), as --find-k runs them.
// [[Rcpp::export(.cm_find_k)]]
SEXP cm_find_k(double K, double theta, double phi, std::string shape, Rcpp::NumericVector looks, double cohort,
               double start, double min_events, double alternative, double power) {
  return guarded([&]() -> SEXP {
    double target = 0.0;
    try {
      target = contmon::parse_probability("POWER", number_text(power));
    } catch (const contmon::Error &error) {
      throw contmon::Error("power", std::string("--find-k: ") + error.what());
    }
    contmon::Schedule schedule;
    std::vector<contmon::Shape> shapes;
    contmon::ReportRequest request =
        design_request(design_inputs(K, theta, phi, Rcpp::CharacterVector::create(shape), looks, cohort, start,
                                     min_events, NAN, alternative, NAN, NAN),
                       &schedule, &shapes);
    InterruptWatch watch;
    const contmon::SampleSizeSearch search =
        contmon::find_sample_size(request.design, schedule, *request.alternative, target, watch.control());
    contmon::Design &design = request.design;
    design.K = search.smallest_k.value_or(search.best_k);
    design.looks = contmon::schedule_for(design.K, schedule);
    design.min_events = std::min(design.min_events, design.K);
    const contmon::Report report = contmon::report(request, method_of(true), watch.control());

    const std::size_t size = search.steps.size();
    Rcpp::IntegerVector k(size);
    Rcpp::NumericVector constant(size), phi_star(size), reached(size), mean_theta(size), mean_alternative(size);
    for (std::size_t i = 0; i < size; ++i) {
      const contmon::SampleSizeStep &step = search.steps[i];
      k[i] = step.K;
      constant[i] = step.constant;
      phi_star[i] = step.phi_star;
      reached[i] = step.power;
      mean_theta[i] = step.mean_n_theta;
      mean_alternative[i] = step.mean_n_alternative;
    }
    return Rcpp::List::create(
        Rcpp::Named("rule") = design_result(report), Rcpp::Named("power_target") = target,
        Rcpp::Named("smallest_k") = search.smallest_k ? Rcpp::wrap(*search.smallest_k) : R_NilValue,
        Rcpp::Named("stable_k") = search.stable_k ? Rcpp::wrap(*search.stable_k) : R_NilValue,
        Rcpp::Named("best_k") = search.best_k,
        Rcpp::Named("search") = Rcpp::List::create(
            Rcpp::Named("K") = k, Rcpp::Named("constant") = constant, Rcpp::Named("phi_star") = phi_star,
            Rcpp::Named("power") = reached, Rcpp::Named("mean_n_theta") = mean_theta,
            Rcpp::Named("mean_n_alternative") = mean_alternative),
        Rcpp::Named("text") = contmon::search_text(search, target));
  });
}

std::vector<contmon::Report> reports_of(const Rcpp::List &rules) {
  std::vector<contmon::Report> reports;
  for (R_xlen_t i = 0; i < rules.size(); ++i) reports.push_back(report_of(rules[i]));
  return reports;
}

// The comparison's table, one row per rule.
// [[Rcpp::export(.cm_comparison_rows)]]
SEXP cm_comparison_rows(Rcpp::List rules) {
  return guarded([&]() -> SEXP {
    const std::vector<contmon::ComparisonRow> rows = contmon::comparison_rows(reports_of(rules));
    const std::size_t size = rows.size();
    Rcpp::CharacterVector shape(size);
    Rcpp::NumericVector constant(size), phi_star(size), power(size), mean_theta(size), mean_alternative(size);
    Rcpp::IntegerVector first_stop(size), count_at_K(size);
    for (std::size_t i = 0; i < size; ++i) {
      shape[i] = rows[i].shape;
      constant[i] = rows[i].constant;
      phi_star[i] = rows[i].phi_star;
      power[i] = rows[i].power;
      mean_theta[i] = rows[i].mean_n_theta;
      mean_alternative[i] = rows[i].mean_n_alternative;
      first_stop[i] = rows[i].first_stop > 0 ? rows[i].first_stop : NA_INTEGER;
      count_at_K[i] = rows[i].count_at_K;
    }
    return Rcpp::List::create(Rcpp::Named("shape") = shape, Rcpp::Named("constant") = constant,
                              Rcpp::Named("phi_star") = phi_star, Rcpp::Named("power") = power,
                              Rcpp::Named("mean_n_theta") = mean_theta,
                              Rcpp::Named("mean_n_alternative") = mean_alternative,
                              Rcpp::Named("first_stop") = first_stop, Rcpp::Named("count_at_K") = count_at_K);
  });
}

// The command line's text comparison (without its closing lines).
// [[Rcpp::export(.cm_comparison_text)]]
SEXP cm_comparison_text(Rcpp::List rules) {
  return guarded([&]() -> SEXP { return Rcpp::wrap(contmon::comparison_text(reports_of(rules))); });
}

// [[Rcpp::export(.cm_oc)]]
SEXP cm_oc(Rcpp::List object, Rcpp::NumericVector rates) {
  return guarded([&]() -> SEXP {
    const contmon::Report report = report_of(object);
    const contmon::Method method = method_of(report.exact, static_cast<int>(report.trials), report.seed);
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
    if (report.accrual) {
      // As the report adds them: the figures of trial conduct, exact, at every row.
      const std::vector<contmon::OcRow> conducted =
          contmon::conduct(report.calibration.rule, table, *report.accrual, watch.control());
      for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i].mean_enrolled = conducted[i].mean_enrolled;
        rows[i].mean_calendar_time = conducted[i].mean_calendar_time;
        rows[i].mean_events_with_pending = conducted[i].mean_events_with_pending;
      }
    }
    return oc_list(rows, report.exact, report.accrual.has_value());
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
