// The Python module's binding of the core: an analysis (the core's Report
// with the request that made it) and the calls that make one, run with the
// GIL released. The writers give every text; nothing is computed here.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "contmon/contmon.h"

namespace py = pybind11;

namespace {

using contmon::Error;

// A computed analysis and what is needed to compute it again with other rates or with the pictures' curve.
struct Analysis {
  contmon::ReportRequest request;
  contmon::Method method;
  contmon::Report result;
  std::string program;  // named in the outputs: the program whose default method this is
};

// The method named by text, with the simulation's trials and seed when given (checked by the package).
contmon::Method method_of(const std::string &text, std::optional<int> trials = std::nullopt,
                          std::optional<int> seed = std::nullopt) {
  contmon::Method method;
  if (text == "exact") {
    method.kind = contmon::MethodKind::kExact;
  } else if (text == "simulation") {
    method.kind = contmon::MethodKind::kSimulation;
  } else {
    throw Error("method", "invalid method '" + text + "': give 'exact' or 'simulation'");
  }
  if (trials) method.trials = *trials;
  if (seed) method.seed = *seed;
  return method;
}

// A pending Python exception, taken from the thread state by the progress callback and raised once the
// core has unwound.
struct PendingError {
  PyObject *type = nullptr, *value = nullptr, *trace = nullptr;
};

// Runs a computation of the core with the GIL released, so that other Python threads run meanwhile. Every
// 50 ms of progress the callback takes the GIL back for a moment to let Python handle signals: when a handler
// raises (Ctrl-C gives KeyboardInterrupt) the run is cancelled and the exception raised here.
template <typename Compute>
auto released(Compute compute) {
  using Clock = std::chrono::steady_clock;
  PendingError pending;
  Clock::time_point last = Clock::now();
  contmon::RunControl control;
  control.progress = [&](double, std::string_view) {
    const Clock::time_point now = Clock::now();
    if (now - last < std::chrono::milliseconds(50)) return true;
    last = now;
    py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() == 0) return true;
    PyErr_Fetch(&pending.type, &pending.value, &pending.trace);
    return false;
  };
  try {
    py::gil_scoped_release release;
    return compute(control);
  } catch (const contmon::Cancelled &) {
    if (pending.type == nullptr) throw;
    PyErr_Restore(pending.type, pending.value, pending.trace);
    throw py::error_already_set();
  }
}

// The core's analysis, run with the GIL released.
contmon::Report run(const contmon::ReportRequest &request, const contmon::Method &method) {
  return released([&](const contmon::RunControl &control) { return contmon::report(request, method, control); });
}

Analysis analyse(contmon::ReportRequest request, const contmon::Method &method) {
  Analysis analysis;
  analysis.method = method;
  analysis.program = method.kind == contmon::MethodKind::kExact ? "contmon-exact" : "contmon";
  analysis.request = std::move(request);
  analysis.result = run(analysis.request, analysis.method);
  return analysis;
}

// The report ready for a writer: program, version and the moment of the run.
contmon::Report stamped(const Analysis &analysis, const std::string &date, const std::string &timestamp) {
  contmon::Report result = analysis.result;
  result.program = analysis.program;
  result.version = contmon::kVersion;
  result.date = date;
  result.timestamp = timestamp;
  return result;
}

// A design as the command line composes it (run.cpp): K THETA PHI with --shape, --looks (or --cohort),
// --start, --min-events, --constant, --alternative, --accrual and --window. K and the looks come as the
// command line's texts, so that their faults read as its messages; the package has checked the numbers.
// PHI may be left out with a constant. The schedule is kept for a search of K.
struct Planned {
  contmon::ReportRequest request;
  contmon::Schedule schedule;
};

using AccrualTimes = std::optional<std::pair<double, double>>;  // (A, TAU)

Planned plan(const std::string &K_text, double theta, std::optional<double> phi, const std::string &shape,
             const std::optional<std::string> &looks_text, int cohort, int start, int min_events,
             std::optional<double> constant, std::optional<double> alternative, const AccrualTimes &accrual) {
  Planned planned;
  contmon::ReportRequest &request = planned.request;
  contmon::Design &d = request.design;
  d.K = contmon::parse_sample_size(K_text);
  d.theta = theta;
  d.phi = phi.value_or(0.5);  // PHI may be left out with a constant
  d.min_events = min_events;
  d.shape = contmon::parse_shape(shape);
  planned.schedule = {looks_text ? contmon::parse_looks(*looks_text) : std::vector<int>{}, cohort, start};
  if (!(theta > 0.0 && theta < 1.0) || !(d.phi > 0.0 && d.phi < 1.0)) contmon::check_design(d);
  d.looks = contmon::schedule_looks(d.K, planned.schedule.list, cohort, start);
  contmon::check_design(d);
  request.has_phi = phi.has_value();
  request.constant = constant;
  request.alternative = alternative;
  if (accrual) request.accrual = contmon::Accrual{accrual->first, accrual->second};
  return planned;
}

Analysis design(const std::string &K_text, double theta, std::optional<double> phi, const std::string &shape,
                const std::optional<std::string> &looks_text, int cohort, int start, int min_events,
                const std::string &method, std::optional<int> trials, std::optional<int> seed,
                const std::vector<double> &rates, std::optional<double> constant, std::optional<double> alternative,
                const AccrualTimes &accrual) {
  Planned planned = plan(K_text, theta, phi, shape, looks_text, cohort, start, min_events, constant, alternative,
                         accrual);
  planned.request.rates = rates;
  return analyse(std::move(planned.request), method_of(method, trials, seed));
}

// Several shapes of one design, each calibrated (the command line's --shape given more than once).
struct Comparison {
  std::vector<Analysis> designs;
};

Comparison compare(const std::string &K_text, double theta, double phi, const std::vector<std::string> &shapes,
                   const std::optional<std::string> &looks_text, int cohort, int start, int min_events,
                   const std::string &method_text, std::optional<int> trials, std::optional<int> seed,
                   std::optional<double> alternative, const AccrualTimes &accrual) {
  if (shapes.size() < 2) throw Error("shapes", "a comparison needs at least two shapes");
  const contmon::Method method = method_of(method_text, trials, seed);
  std::vector<Planned> planned;  // every shape checked before any is calibrated
  for (const std::string &shape : shapes)
    planned.push_back(plan(K_text, theta, phi, shape, looks_text, cohort, start, min_events, std::nullopt,
                           alternative, accrual));
  Comparison comparison;
  for (Planned &one : planned) comparison.designs.push_back(analyse(std::move(one.request), method));
  return comparison;
}

// The search for the sample size (--find-k POWER) and the analysis of the K it reports.
struct Search {
  contmon::SampleSizeSearch search;
  double power = 0.0;
  Analysis found;
};

Search find_k(const std::string &K_text, double theta, double phi, const std::string &shape,
              const std::optional<std::string> &looks_text, int cohort, int start, int min_events,
              double alternative, double power) {
  Planned planned = plan(K_text, theta, phi, shape, looks_text, cohort, start, min_events, std::nullopt,
                         alternative, std::nullopt);
  contmon::Design &d = planned.request.design;
  Search result;
  result.power = power;
  result.search = released([&](const contmon::RunControl &control) {
    return contmon::find_sample_size(d, planned.schedule, alternative, power, control);
  });
  d.K = result.search.smallest_k.value_or(result.search.best_k);
  d.looks = contmon::schedule_for(d.K, planned.schedule);
  d.min_events = std::min(d.min_events, d.K);
  result.found = analyse(std::move(planned.request), contmon::Method{});
  return result;
}

py::object number_or_none(double x) { return std::isnan(x) ? py::object(py::none()) : py::object(py::float_(x)); }

// A rule given as its counts at the looks (every patient when no looks are given), evaluated at the rates
// or at the default rows for theta. The looks are taken as given: the counts go with them in order.
Analysis evaluate(const std::vector<int> &counts, const std::optional<std::vector<int>> &looks,
                  std::optional<double> theta, std::optional<double> phi, const std::vector<double> &rates,
                  const std::string &method) {
  contmon::Rule rule;
  if (looks) {
    rule.looks = *looks;
  } else {
    for (std::size_t n = 1; n <= counts.size() && n <= static_cast<std::size_t>(contmon::kMaxStages) + 1; ++n)
      rule.looks.push_back(static_cast<int>(n));
  }
  rule.K = rule.looks.empty() ? 0 : rule.looks.back();
  rule.counts = counts;
  contmon::check_rule(rule);
  contmon::Design given;  // THETA and PHI as given, checked as a design's; 0.5 stands for one not given
  given.K = rule.K;
  given.theta = theta.value_or(0.5);
  given.phi = phi.value_or(0.5);
  contmon::check_design(given);
  contmon::ReportRequest request;
  request.rule = rule;
  request.has_theta = theta.has_value();
  request.has_phi = phi.has_value();
  request.design.K = rule.K;
  request.design.looks = rule.looks;
  request.design.theta = theta.value_or(0.0);
  request.design.phi = phi.value_or(0.0);
  request.rates = rates;
  return analyse(std::move(request), method_of(method));
}

// A rule read from the text of a file named name, with the THETA and PHI the file gives.
Analysis read_rule(const std::string &name, const py::bytes &contents, const std::vector<double> &rates,
                   const std::string &method) {
  const std::string text = contents;
  const contmon::RuleFile file = contmon::parse_rule_file(name, text);
  contmon::ReportRequest request;
  request.rule = file.rule;
  request.has_theta = file.theta.has_value();
  request.has_phi = file.phi.has_value();
  request.design.K = file.rule.K;
  request.design.looks = file.rule.looks;
  request.design.theta = file.theta.value_or(0.0);
  request.design.phi = file.phi.value_or(0.0);
  if (!file.theta && rates.empty())
    throw Error("rates", name + ": a plain rule file holds no THETA; give the rates to evaluate");
  request.rates = rates;
  Analysis analysis = analyse(std::move(request), method_of(method));
  analysis.result.rule_file = name;
  return analysis;
}

// The same analysis at other rates (the command line's --rates).
Analysis with_rates(const Analysis &analysis, const std::vector<double> &rates) {
  Analysis other = analysis;  // a copy, computed with the GIL released (see add_curve)
  other.request.rates = rates;
  other.request.curve = false;
  other.result = run(other.request, other.method);
  other.result.rule_file = analysis.result.rule_file;
  return other;
}

// The pictures' curve, which the SVG and HTML writers draw. It holds exact figures of the rule alone, so it
// comes from the analysis of the rule by itself (at one rate, since a row is needed), without calibrating or
// simulating the design again. The GIL is held whenever an Analysis is read or changed and run() computes
// from copies, so that two threads drawing one rule at once compute the curve twice rather than race.
void add_curve(Analysis &analysis) {
  if (analysis.request.curve) return;
  contmon::ReportRequest request;
  request.rule = analysis.result.calibration.rule;
  request.has_theta = false;
  request.has_phi = false;
  request.rates = {0.5};
  request.curve = true;
  std::vector<contmon::OcRow> curve = run(request, contmon::Method{}).curve;
  analysis.request.curve = true;
  analysis.result.curve = std::move(curve);
}

// The reports of a comparison ready for a writer.
std::vector<contmon::Report> stamped_all(const Comparison &c, const std::string &date, const std::string &timestamp) {
  std::vector<contmon::Report> reports;
  for (const Analysis &a : c.designs) reports.push_back(stamped(a, date, timestamp));
  return reports;
}

// The comparison table's rows as dicts with the names of ComparisonRow's fields; a figure that is not a
// number (no alternative) is None.
py::list comparison_rows(const Comparison &c) {
  py::list rows;
  for (const contmon::ComparisonRow &row : contmon::comparison_rows(stamped_all(c, "", ""))) {
    py::dict d;
    d["shape"] = row.shape;
    d["constant"] = row.constant;
    d["phi_star"] = row.phi_star;
    d["power"] = number_or_none(row.power);
    d["mean_n_theta"] = number_or_none(row.mean_n_theta);
    d["mean_n_alternative"] = number_or_none(row.mean_n_alternative);
    d["first_stop"] = row.first_stop;
    d["count_at_K"] = row.count_at_K;
    rows.append(d);
  }
  return rows;
}

}  // namespace

PYBIND11_MODULE(_core, m) {
  m.doc() = "The binding of the contmon library; use the package contmon.";
  m.attr("version") = contmon::kVersion;
  // contmon.DesignError, a ValueError whose message is the command line's and whose field names the input.
  static PyObject *const design_error =
      PyErr_NewException("contmon.DesignError", PyExc_ValueError, nullptr);  // lives as long as the process
  m.attr("DesignError") = py::handle(design_error);
  py::register_exception_translator([](std::exception_ptr thrown) {
    try {
      if (thrown) std::rethrow_exception(thrown);
    } catch (const contmon::Error &error) {
      py::object instance = py::handle(design_error)(error.what());
      instance.attr("field") = error.field();
      PyErr_SetObject(design_error, instance.ptr());
    }
  });

  py::class_<Analysis>(m, "Analysis")
      // Writing the document is the core's alone: other threads may run meanwhile.
      .def("json", [](const Analysis &a, const std::string &date, const std::string &timestamp) {
        return contmon::to_json(stamped(a, date, timestamp));
      }, py::call_guard<py::gil_scoped_release>())
      .def("svg", [](Analysis &a, const std::string &date, const std::string &timestamp) {
        add_curve(a);
        return contmon::to_svg(stamped(a, date, timestamp));
      })
      .def("html", [](Analysis &a, const std::string &date, const std::string &timestamp) {
        add_curve(a);
        return contmon::to_html(stamped(a, date, timestamp));
      })
      .def("text", [](const Analysis &a, const std::string &date, const std::string &timestamp) {
        const contmon::Report result = stamped(a, date, timestamp);
        return contmon::text_report_body(result) + contmon::text_report_ending(result);
      })
      .def("csv", [](const Analysis &a) { return contmon::to_csv(stamped(a, "", "")); })
      .def("boundary_file", [](const Analysis &a, const std::string &generator) {
        return contmon::boundary_file_text(stamped(a, "", ""), generator);
      })
      .def("with_rates", &with_rates, py::arg("rates"))
      .def_property_readonly("program", [](const Analysis &a) { return a.program; });

  py::class_<Comparison>(m, "Comparison")
      .def_property_readonly("designs", [](const Comparison &c) { return c.designs; })
      .def("rows", &comparison_rows)
      .def("json", [](const Comparison &c, const std::string &date, const std::string &timestamp) {
        return contmon::to_format(contmon::OutputFormat::kJson, stamped_all(c, date, timestamp));
      })
      .def("csv", [](const Comparison &c) { return contmon::to_format(contmon::OutputFormat::kCsv, stamped_all(c, "", "")); })
      .def("text", [](const Comparison &c, const std::string &date, const std::string &timestamp) {
        return contmon::comparison_text(stamped_all(c, date, timestamp));
      })
      .def("svg", [](Comparison &c, const std::string &date, const std::string &timestamp) {
        for (Analysis &a : c.designs) add_curve(a);
        return contmon::to_svg(stamped_all(c, date, timestamp));
      })
      .def("html", [](Comparison &c, const std::string &date, const std::string &timestamp) {
        for (Analysis &a : c.designs) add_curve(a);
        return contmon::to_html(stamped_all(c, date, timestamp));
      });

  py::class_<Search>(m, "Search")
      .def_property_readonly("found", [](const Search &s) { return s.found; })
      .def_property_readonly("smallest_k", [](const Search &s) { return s.search.smallest_k; })
      .def_property_readonly("stable_k", [](const Search &s) { return s.search.stable_k; })
      .def_property_readonly("best_k", [](const Search &s) { return s.search.best_k; })
      .def("json", [](const Search &s, const std::string &date, const std::string &timestamp) {
        return contmon::to_json(stamped(s.found, date, timestamp), s.search, s.power);
      })
      .def("text", [](const Search &s) { return contmon::search_text(s.search, s.power); });

  m.def("design", &design, py::arg("K"), py::arg("theta"), py::arg("phi"), py::arg("shape"), py::arg("looks"),
        py::arg("cohort"), py::arg("start"), py::arg("min_events"), py::arg("method"), py::arg("trials"),
        py::arg("seed"), py::arg("rates"), py::arg("constant"), py::arg("alternative"), py::arg("accrual"));
  m.def("compare", &compare, py::arg("K"), py::arg("theta"), py::arg("phi"), py::arg("shapes"), py::arg("looks"),
        py::arg("cohort"), py::arg("start"), py::arg("min_events"), py::arg("method"), py::arg("trials"),
        py::arg("seed"), py::arg("alternative"), py::arg("accrual"));
  m.def("find_k", &find_k, py::arg("K"), py::arg("theta"), py::arg("phi"), py::arg("shape"), py::arg("looks"),
        py::arg("cohort"), py::arg("start"), py::arg("min_events"), py::arg("alternative"), py::arg("power"));
  m.def("parse_number", &contmon::parse_number, py::arg("option"), py::arg("text"));
  m.def("parse_duration", &contmon::parse_duration, py::arg("option"), py::arg("text"));
  m.attr("fewest_trials") = contmon::kFewestTrials;
  m.attr("most_trials") = contmon::kMostTrials;
  m.attr("most_seed") = contmon::kMostSeed;
  m.def("evaluate", &evaluate, py::arg("counts"), py::arg("looks"), py::arg("theta"), py::arg("phi"),
        py::arg("rates"), py::arg("method"));
  m.def("read_rule", &read_rule, py::arg("name"), py::arg("contents"), py::arg("rates"), py::arg("method"));
  m.def("parse_rates", &contmon::parse_rates, py::arg("text"));
  m.def("parse_probability", &contmon::parse_probability, py::arg("field"), py::arg("text"));
}
