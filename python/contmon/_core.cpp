// The Python module's binding of the core: an analysis (the core's Report
// with the request that made it) and the calls that make one, run with the
// GIL released. The writers give every text; nothing is computed here.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
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

contmon::Method method_of(const std::string &text) {
  contmon::Method method;
  if (text == "exact") {
    method.kind = contmon::MethodKind::kExact;
  } else if (text == "simulation") {
    method.kind = contmon::MethodKind::kSimulation;
  } else {
    throw Error("method", "invalid method '" + text + "': give 'exact' or 'simulation'");
  }
  return method;
}

// A pending Python exception, taken from the thread state by the progress callback and raised once the
// core has unwound.
struct PendingError {
  PyObject *type = nullptr, *value = nullptr, *trace = nullptr;
};

// Runs the core's analysis with the GIL released, so that other Python threads run meanwhile. Every 50 ms of
// progress the callback takes the GIL back for a moment to let Python handle signals: when a handler raises
// (Ctrl-C gives KeyboardInterrupt) the run is cancelled and the exception raised here.
contmon::Report run(const contmon::ReportRequest &request, const contmon::Method &method) {
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
    return contmon::report(request, method, control);
  } catch (const contmon::Cancelled &) {
    if (pending.type == nullptr) throw;
    PyErr_Restore(pending.type, pending.value, pending.trace);
    throw py::error_already_set();
  }
}

Analysis analyse(contmon::ReportRequest request, const std::string &method_text) {
  Analysis analysis;
  analysis.method = method_of(method_text);
  analysis.program = analysis.method.kind == contmon::MethodKind::kExact ? "contmon-exact" : "contmon";
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

// A design calibrated as the command line does it: K THETA PHI with --shape, --looks (or --cohort),
// --start and --min-events. K and the looks come as the command line's texts, so that their faults read
// as its messages.
Analysis design(const std::string &K_text, double theta, double phi, const std::string &shape,
                const std::optional<std::string> &looks_text, int cohort, int start, int min_events,
                const std::string &method, const std::vector<double> &rates) {
  contmon::ReportRequest request;
  contmon::Design &d = request.design;
  d.K = contmon::parse_sample_size(K_text);
  d.theta = theta;
  d.phi = phi;
  d.min_events = min_events;
  d.shape = contmon::parse_shape(shape);
  const std::vector<int> list = looks_text ? contmon::parse_looks(*looks_text) : std::vector<int>{};
  if (!(theta > 0.0 && theta < 1.0) || !(phi > 0.0 && phi < 1.0)) contmon::check_design(d);
  d.looks = contmon::schedule_looks(d.K, list, cohort, start);
  contmon::check_design(d);
  request.rates = rates;
  return analyse(std::move(request), method);
}

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
  return analyse(std::move(request), method);
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
  Analysis analysis = analyse(std::move(request), method);
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
      .def("json", [](const Analysis &a, const std::string &date, const std::string &timestamp) {
        return contmon::to_json(stamped(a, date, timestamp));
      })
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

  m.def("design", &design, py::arg("K"), py::arg("theta"), py::arg("phi"), py::arg("shape"), py::arg("looks"),
        py::arg("cohort"), py::arg("start"), py::arg("min_events"), py::arg("method"), py::arg("rates"));
  m.def("evaluate", &evaluate, py::arg("counts"), py::arg("looks"), py::arg("theta"), py::arg("phi"),
        py::arg("rates"), py::arg("method"));
  m.def("read_rule", &read_rule, py::arg("name"), py::arg("contents"), py::arg("rates"), py::arg("method"));
  m.def("parse_rates", &contmon::parse_rates, py::arg("text"));
  m.def("parse_probability", &contmon::parse_probability, py::arg("field"), py::arg("text"));
}
