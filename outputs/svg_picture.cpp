// The SVG picture of a run: on the left the stopping boundary as a step
// function of the number of patients, on the right the probability of
// stopping and the expected sample size against the true event probability.
// Coordinates are printed with fixed decimals, so the same result gives the
// same bytes everywhere.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "outputs/markup.h"
#include "outputs/outputs_internal.h"

namespace contmon {

namespace {

constexpr int kWidth = 720;
constexpr int kHeight = 340;
constexpr int kPanelWidth = 360;

constexpr const char *kBoundaryColour = "#1f4e99";
constexpr const char *kFaintColour = "#b4b4b4";
constexpr const char *kReferenceColour = "#6e6e6e";
constexpr const char *kStopColour = "#b03a2e";
constexpr const char *kSampleColour = "#1d7a55";
constexpr const char *kGridColour = "#e6e6e6";

std::string num(double value) { return fixed(value, 2); }

// A plot area on the page and the data ranges it shows.
struct Frame {
  double left = 0, right = 0, top = 0, bottom = 0;
  double x_min = 0, x_max = 1, y_min = 0, y_max = 1;

  double px(double x) const { return left + (x - x_min) / (x_max - x_min) * (right - left); }
  double py(double y) const { return bottom - (y - y_min) / (y_max - y_min) * (bottom - top); }
};

Frame panel_frame(int panel, double x_max, double y_max) {
  Frame f;
  f.left = panel * kPanelWidth + 60;
  f.right = panel * kPanelWidth + 345;
  f.top = 44;
  f.bottom = 262;
  f.x_max = x_max;
  f.y_max = y_max;
  return f;
}

// The smallest step of the 1-2-5 series (1, 2, 5, 10, 20, ...) that splits 0..range into at most 6 intervals.
int nice_step(double range) {
  for (int scale = 1;; scale *= 10) {
    for (int m : {1, 2, 5}) {
      if (range / (m * scale) <= 6.0) return m * scale;
    }
  }
}

void text(std::string &svg, double x, double y, const std::string &anchor, const std::string &content,
          const std::string &extra = "") {
  svg += "<text x=\"" + num(x) + "\" y=\"" + num(y) + "\"";
  if (anchor != "start") svg += " text-anchor=\"" + anchor + "\"";
  svg += extra + ">" + markup::escape(content) + "</text>\n";
}

void line(std::string &svg, double x1, double y1, double x2, double y2, const std::string &style) {
  svg += "<line x1=\"" + num(x1) + "\" y1=\"" + num(y1) + "\" x2=\"" + num(x2) + "\" y2=\"" + num(y2) +
         "\" " + style + "/>\n";
}

void circle(std::string &svg, double x, double y, const std::string &cls, const std::string &style,
            double r = 3.0) {
  svg += "<circle class=\"" + cls + "\" cx=\"" + num(x) + "\" cy=\"" + num(y) + "\" r=\"" + num(r) + "\" " +
         style + "/>\n";
}

// The axes of a frame: grid lines and labels at the ticks, the frame's box, the title and the axis labels.
void axes(std::string &svg, const Frame &f, const std::vector<std::pair<double, std::string>> &x_ticks,
          const std::vector<std::pair<double, std::string>> &y_ticks, const std::string &title,
          const std::string &x_label, const std::string &y_label) {
  const std::string grid = std::string("stroke=\"") + kGridColour + "\" stroke-width=\"1\"";
  for (const auto &[y, label] : y_ticks) {
    line(svg, f.left, f.py(y), f.right, f.py(y), grid);
    text(svg, f.left - 6, f.py(y) + 4, "end", label, " class=\"ytick\"");
  }
  for (const auto &[x, label] : x_ticks) {
    line(svg, f.px(x), f.bottom, f.px(x), f.bottom + 4, "stroke=\"#000\" stroke-width=\"1\"");
    text(svg, f.px(x), f.bottom + 16, "middle", label, " class=\"xtick\"");
  }
  svg += "<rect x=\"" + num(f.left) + "\" y=\"" + num(f.top) + "\" width=\"" + num(f.right - f.left) +
         "\" height=\"" + num(f.bottom - f.top) + "\" fill=\"none\" stroke=\"#000\" stroke-width=\"1\"/>\n";
  text(svg, (f.left + f.right) / 2, 20, "middle", title, " font-size=\"14\" font-weight=\"bold\"");
  text(svg, (f.left + f.right) / 2, f.bottom + 34, "middle", x_label, " font-size=\"12\"");
  const double mid = (f.top + f.bottom) / 2;
  const double x = f.left - 44;
  text(svg, x, mid, "middle", y_label,
       " font-size=\"12\" transform=\"rotate(-90 " + num(x) + " " + num(mid) + ")\"");
}

// One legend entry: a sample (a line, or a marker) and its label.
struct LegendEntry {
  std::string sample;  // the sample's style: a line's attributes, or "marker:" and a circle's
  std::string label;
};

// The entries in a row from x, on the baseline y.
void legend(std::string &svg, double x, double y, const std::vector<LegendEntry> &entries) {
  for (const LegendEntry &entry : entries) {
    if (entry.sample.rfind("marker:", 0) == 0) {
      circle(svg, x + 11, y - 4, "legend", entry.sample.substr(7));
    } else {
      line(svg, x, y - 4, x + 22, y - 4, entry.sample);
    }
    text(svg, x + 27, y, "start", entry.label);
    // About 6.2 units per character at size 11 (UTF-8 continuation bytes do not count), and room before
    // the next sample.
    const auto characters = std::count_if(entry.label.begin(), entry.label.end(), [](char c) {
      return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    });
    x += 27 + 6.2 * static_cast<double>(characters) + 16;
  }
}

void boundary_panel(std::string &svg, const Report &result) {
  const Rule &rule = result.calibration.rule;
  const int K = std::max(1, rule.K > 0 ? rule.K : result.design.K);
  const std::size_t m = std::min(rule.looks.size(), rule.counts.size());
  auto can_stop = [&](std::size_t i) { return rule.counts[i] <= rule.looks[i]; };

  double y_data = 1.0;
  for (std::size_t i = 0; i < m; ++i)
    if (can_stop(i)) y_data = std::max(y_data, static_cast<double>(rule.counts[i]));
  if (result.has_theta) y_data = std::max(y_data, result.design.theta * K);
  // Half an event of room above the highest count, so that its markers stay inside the frame.
  const int y_step = nice_step(y_data + 0.5);
  const double y_top = y_step * std::ceil((y_data + 0.5) / y_step);
  const int x_step = nice_step(K);

  const Frame f = panel_frame(0, K, y_top);
  std::vector<std::pair<double, std::string>> x_ticks, y_ticks;
  for (int x = 0; x <= K; x += x_step) x_ticks.emplace_back(x, std::to_string(x));
  for (int y = 0; y <= y_top; y += y_step) y_ticks.emplace_back(y, std::to_string(y));
  axes(svg, f, x_ticks, y_ticks, "Stopping boundary", "Patients (n)", "Events (y)");

  std::vector<LegendEntry> entries;
  const std::string reference =
      std::string("stroke=\"") + kReferenceColour + "\" stroke-width=\"1.5\" stroke-dasharray=\"5 4\"";
  if (result.has_theta) {
    line(svg, f.px(0), f.py(0), f.px(K), f.py(result.design.theta * K), reference);
    entries.push_back({reference, "\u03b8 \u00d7 n"});
  }

  // Each count holds from its look to the next: a horizontal step, then a riser to the next count. Looks
  // where the count is above the look cannot stop the trial: their steps and markers are faint, and counts
  // above the axis are left out.
  auto shown = [&](std::size_t i) { return rule.counts[i] <= y_top; };
  std::string strong, faint;
  for (std::size_t i = 0; i + 1 < m; ++i) {
    if (!shown(i)) continue;
    (can_stop(i) ? strong : faint) += std::string("M") + num(f.px(rule.looks[i])) + " " +
                                      num(f.py(rule.counts[i])) + " H" + num(f.px(rule.looks[i + 1])) + " ";
    if (shown(i + 1) && rule.counts[i + 1] != rule.counts[i])
      (can_stop(i + 1) ? strong : faint) += std::string("M") + num(f.px(rule.looks[i + 1])) + " " +
                                            num(f.py(rule.counts[i])) + " V" + num(f.py(rule.counts[i + 1])) +
                                            " ";
  }
  if (!faint.empty()) {
    faint.pop_back();
    svg += "<path class=\"steps no-stop\" d=\"" + faint + "\" fill=\"none\" stroke=\"" + kFaintColour +
           "\" stroke-width=\"1.5\"/>\n";
  }
  if (!strong.empty()) {
    strong.pop_back();
    svg += "<path class=\"steps\" d=\"" + strong + "\" fill=\"none\" stroke=\"" + kBoundaryColour +
           "\" stroke-width=\"2\"/>\n";
  }
  const std::string stop_marker = std::string("fill=\"") + kBoundaryColour + "\" stroke=\"none\"";
  const std::string faint_marker =
      std::string("fill=\"#fff\" stroke=\"") + kFaintColour + "\" stroke-width=\"1.5\"";
  // Markers shrink where looks are close (after every patient of a long trial), down to a dot.
  double spacing = f.right - f.left;
  for (std::size_t i = 0; i + 1 < m; ++i)
    spacing = std::min(spacing, f.px(rule.looks[i + 1]) - f.px(rule.looks[i]));
  const double radius = std::clamp(0.35 * spacing, 1.0, 3.0);
  bool any_stop = false, any_faint = false;
  for (std::size_t i = 0; i < m; ++i) {
    if (!shown(i)) continue;
    const bool stop = can_stop(i);
    circle(svg, f.px(rule.looks[i]), f.py(rule.counts[i]), stop ? "look" : "look no-stop",
           stop ? stop_marker : faint_marker, radius);
    (stop ? any_stop : any_faint) = true;
  }
  if (!any_stop)
    text(svg, f.left + 8, f.top + 18, "start", "The rule never stops the trial", " font-size=\"12\"");
  if (any_stop)
    entries.insert(entries.begin(),
                   {std::string("stroke=\"") + kBoundaryColour + "\" stroke-width=\"2\"", "Stop at count b"});
  if (any_faint) entries.push_back({"marker:" + faint_marker, "Cannot stop"});
  legend(svg, f.left - 48, kHeight - 12, entries);
}

// The polyline through the finite points of the curve, or nothing.
std::string polyline(const Frame &f, const std::vector<std::pair<double, double>> &points,
                     const std::string &cls, const std::string &style) {
  std::string d;
  for (const auto &[x, y] : points) {
    if (!std::isfinite(x) || !std::isfinite(y)) continue;
    d += num(f.px(x)) + "," + num(f.py(y)) + " ";
  }
  if (d.empty()) return "";
  d.pop_back();
  return "<polyline class=\"" + cls + "\" points=\"" + d + "\" fill=\"none\" " + style + "/>\n";
}

void oc_panel(std::string &svg, const Report &result) {
  const Frame f = panel_frame(1, 1.0, 1.0);
  std::vector<std::pair<double, std::string>> ticks;
  for (int i = 0; i <= 5; ++i) ticks.emplace_back(i / 5.0, shortest(i / 5.0));
  axes(svg, f, ticks, ticks, "Operating characteristics", "True event probability", "P(stop), E[N] / K");

  // The design's rates: dotted vertical lines labelled above the frame, the labels pushed apart when close.
  struct Marker {
    double rate;
    std::string label;
  };
  std::vector<Marker> markers;
  if (result.has_theta)
    markers.push_back({result.design.theta, "\u03b8 = " + shortest(result.design.theta)});
  if (result.alternative)
    markers.push_back({*result.alternative, "P1 = " + shortest(*result.alternative)});
  const bool close = markers.size() == 2 && std::fabs(f.px(markers[0].rate) - f.px(markers[1].rate)) < 70;
  for (std::size_t i = 0; i < markers.size(); ++i) {
    const double rate = markers[i].rate;
    if (!(rate >= 0.0 && rate <= 1.0)) continue;
    const double x = f.px(rate);
    line(svg, x, f.top, x, f.bottom,
         std::string("stroke=\"") + kReferenceColour + "\" stroke-width=\"1\" stroke-dasharray=\"2 3\"");
    const bool left_of_other = close && rate <= markers[1 - i].rate;
    const std::string anchor = !close ? "middle" : left_of_other ? "end" : "start";
    text(svg, close ? (left_of_other ? x - 2 : x + 2) : x, f.top - 6, anchor, markers[i].label,
         " class=\"rate-marker\"");
  }

  const int K = std::max(1, result.calibration.rule.K > 0 ? result.calibration.rule.K : result.design.K);
  auto curve_points = [&](const std::vector<OcRow> &rows, bool sample_size) {
    std::vector<std::pair<double, double>> points;
    for (const OcRow &row : rows) points.emplace_back(row.rate, sample_size ? row.mean_n / K : row.p_stop);
    return points;
  };
  const std::string stop_style = std::string("stroke=\"") + kStopColour + "\" stroke-width=\"2\"";
  const std::string sample_style =
      std::string("stroke=\"") + kSampleColour + "\" stroke-width=\"2\" stroke-dasharray=\"7 4\"";
  svg += polyline(f, curve_points(result.curve, false), "p-stop", stop_style);
  svg += polyline(f, curve_points(result.curve, true), "mean-n", sample_style);

  const std::string stop_marker =
      std::string("fill=\"") + kStopColour + "\" stroke=\"#fff\" stroke-width=\"1\"";
  const std::string sample_marker =
      std::string("fill=\"") + kSampleColour + "\" stroke=\"#fff\" stroke-width=\"1\"";
  for (const OcRow &row : result.oc) {
    if (!(row.rate >= 0.0 && row.rate <= 1.0)) continue;
    if (std::isfinite(row.p_stop)) circle(svg, f.px(row.rate), f.py(row.p_stop), "row p-stop", stop_marker);
    if (std::isfinite(row.mean_n))
      circle(svg, f.px(row.rate), f.py(row.mean_n / K), "row mean-n", sample_marker);
  }
  std::vector<LegendEntry> entries = {{stop_style, "P(stop)"}, {sample_style, "E[N] / K"}};
  if (!result.oc.empty()) entries.push_back({"marker:fill=\"#555\" stroke=\"none\"", "Table rows"});
  legend(svg, f.left - 48, kHeight - 12, entries);
}

// ---- Several designs ------------------------------------------------------------------------------------

// The colours of a comparison (the Okabe-Ito palette, told apart by colour-blind readers), each with its own
// dash pattern so that the lines also differ in greyscale print.
struct SeriesStyle {
  const char *colour;
  const char *dashes;  // "" for a solid line
};
constexpr SeriesStyle kSeries[] = {{"#000000", ""},        {"#E69F00", "9 3"},     {"#0072B2", "2 2"},
                                   {"#009E73", "9 3 2 3"}, {"#D55E00", "5 5"},     {"#56B4E9", "1 3"},
                                   {"#CC79A7", "12 3 3 3 3 3"}};

std::string series_style(std::size_t i, double width) {
  const SeriesStyle &style = kSeries[i % std::size(kSeries)];
  std::string text = std::string("stroke=\"") + style.colour + "\" stroke-width=\"" + num(width) + "\"";
  if (*style.dashes != '\0') text += std::string(" stroke-dasharray=\"") + style.dashes + "\"";
  return text;
}

void compared_boundaries(std::string &svg, const std::vector<Report> &reports) {
  const int K = std::max(1, reports.front().design.K);
  double y_data = std::max(1.0, reports.front().design.theta * K);
  for (const Report &r : reports) {
    const Rule &rule = r.calibration.rule;
    for (std::size_t i = 0; i < rule.looks.size() && i < rule.counts.size(); ++i)
      if (rule.counts[i] <= rule.looks[i]) y_data = std::max(y_data, static_cast<double>(rule.counts[i]));
  }
  const int y_step = nice_step(y_data + 0.5);
  const double y_top = y_step * std::ceil((y_data + 0.5) / y_step);
  const Frame f = panel_frame(0, K, y_top);
  std::vector<std::pair<double, std::string>> x_ticks, y_ticks;
  for (int x = 0; x <= K; x += nice_step(K)) x_ticks.emplace_back(x, std::to_string(x));
  for (int y = 0; y <= y_top; y += y_step) y_ticks.emplace_back(y, std::to_string(y));
  axes(svg, f, x_ticks, y_ticks, "Stopping boundaries", "Patients (n)", "Events (y)");
  // Each rule's steps where it can stop: from each such look to the next look, then up to the next count.
  for (std::size_t s = 0; s < reports.size(); ++s) {
    const Rule &rule = reports[s].calibration.rule;
    std::string d;
    for (std::size_t i = 0; i + 1 < rule.looks.size() && i + 1 < rule.counts.size(); ++i) {
      if (rule.counts[i] > rule.looks[i] || rule.counts[i] > y_top) continue;
      d += std::string("M") + num(f.px(rule.looks[i])) + " " + num(f.py(rule.counts[i])) + " H" +
           num(f.px(rule.looks[i + 1])) + " ";
      if (rule.counts[i + 1] <= rule.looks[i + 1] && rule.counts[i + 1] <= y_top)
        d += std::string("V") + num(f.py(rule.counts[i + 1])) + " ";
    }
    if (d.empty()) continue;
    d.pop_back();
    svg += "<path class=\"steps series-" + std::to_string(s) + "\" d=\"" + d + "\" fill=\"none\" " +
           series_style(s, 2) + "/>\n";
  }
}

void compared_curves(std::string &svg, const std::vector<Report> &reports) {
  const Frame f = panel_frame(1, 1.0, 1.0);
  std::vector<std::pair<double, std::string>> ticks;
  for (int i = 0; i <= 5; ++i) ticks.emplace_back(i / 5.0, shortest(i / 5.0));
  axes(svg, f, ticks, ticks, "Operating characteristics", "True event probability", "P(stop), E[N] / K");
  const int K = std::max(1, reports.front().design.K);
  // P(stop) thick, E[N] / K thin, both in the design's colour and dashes.
  for (std::size_t s = 0; s < reports.size(); ++s) {
    std::vector<std::pair<double, double>> stop, size;
    for (const OcRow &row : reports[s].curve) {
      stop.emplace_back(row.rate, row.p_stop);
      size.emplace_back(row.rate, row.mean_n / K);
    }
    svg += polyline(f, stop, "p-stop series-" + std::to_string(s), series_style(s, 2.2));
    svg += polyline(f, size, "mean-n series-" + std::to_string(s), series_style(s, 1));
  }
  legend(svg, f.left - 48, kHeight - 12,
         {{"stroke=\"#555\" stroke-width=\"2.2\"", "P(stop)"}, {"stroke=\"#555\" stroke-width=\"1\"", "E[N] / K"}});
}

}  // namespace

std::string to_svg(const std::vector<Report> &reports) {
  if (reports.empty()) return "";
  const int height = kHeight + 22;  // a row for the legend of the designs
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(kWidth) + "\" height=\"" +
         std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(kWidth) + " " + std::to_string(height) +
         "\" font-family=\"sans-serif\" font-size=\"11\">\n";
  svg += "<title>Stopping boundaries and operating characteristics of the shapes compared</title>\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n";
  compared_boundaries(svg, reports);
  compared_curves(svg, reports);
  std::vector<LegendEntry> entries;
  for (std::size_t s = 0; s < reports.size(); ++s)
    entries.push_back({series_style(s, 2), shape_argument(reports[s].design.shape)});
  legend(svg, 12, height - 10, entries);
  svg += "</svg>\n";
  return svg;
}

std::string to_svg(const Report &result) {
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(kWidth) + "\" height=\"" +
         std::to_string(kHeight) + "\" viewBox=\"0 0 " + std::to_string(kWidth) + " " +
         std::to_string(kHeight) + "\" font-family=\"sans-serif\" font-size=\"11\">\n";
  svg += "<title>Stopping boundary and operating characteristics</title>\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n";
  boundary_panel(svg, result);
  oc_panel(svg, result);
  svg += "</svg>\n";
  return svg;
}

}  // namespace contmon
