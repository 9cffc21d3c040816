// The SVG picture and the HTML page of hand-built reports: well-formed for xmllint, self-contained, the looks
// drawn where the axes say they are, and the page as headless Chromium renders, prints and reads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <optional>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "contmon/writers.h"
#include "core/text.h"
#include "tests/case_name.h"
#include "tests/program_runner.h"

#ifdef CONTMON_HAVE_ZLIB
#include <zlib.h>
#endif

namespace {

using namespace contmon;

// The figures the pictures draw, computed exactly, with the standard errors of `trials` simulated trials.
OcRow exact_row(const Rule &rule, double rate, long long trials) {
  OcRow row = characteristics(rule, {rate}, Method{MethodKind::kExact})[0];
  if (trials > 0) {
    row.se_p_stop = std::sqrt(row.p_stop * (1.0 - row.p_stop) / static_cast<double>(trials));
    row.se_mean_n = row.sd_n / std::sqrt(static_cast<double>(trials));
  }
  return row;
}

struct PictureCase {
  std::string name;
  Report result;
  std::vector<std::string> decision_rows;  // the decision table's rows as the page writes them, up to the rates
};

void PrintTo(const PictureCase &c, std::ostream *os) { *os << c.name; }

Report make_result(int K, std::vector<int> looks, std::vector<int> counts, bool exact) {
  Report r;
  r.program = "contmon";
  r.version = "1.2";
  r.exact = exact;
  r.trials = exact ? 0 : 100000;
  r.seed = exact ? 0 : 1234;
  r.date = "Wed Dec  9 10:00:00 2026";
  r.design.K = K;
  r.design.theta = 0.3;
  r.design.phi = 0.05;
  r.design.looks = looks.size() == static_cast<std::size_t>(K) ? std::vector<int>{} : looks;
  r.calibration.rule = {K, looks, counts};
  r.calibration.constant = 0.0278978;
  r.calibration.phi_star = 0.046888;
  r.calibration.candidates = 12;
  for (double rate : {0.1, 0.2, 0.3, 0.4, 0.5, 0.6})
    r.oc.push_back(exact_row(r.calibration.rule, rate, r.trials));
  r.theta_row = 2;
  for (int i = 1; i < 100; ++i) r.curve.push_back(exact_row(r.calibration.rule, i / 100.0, 0));
  return r;
}

std::vector<PictureCase> picture_cases() {
  std::vector<PictureCase> cases;
  {  // after every patient, two first looks that cannot stop
    Report r = make_result(10, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {2, 3, 3, 4, 5, 5, 6, 6, 6, 7}, true);
    r.alternative = 0.5;
    r.alternative_row = 4;
    cases.push_back({"EveryPatientExact",
                     r,
                     {"<tr><td>3</td><td>3</td></tr>", "<tr><td>4</td><td>4</td></tr>",
                      "<tr><td>5\u20136</td><td>5</td></tr>", "<tr><td>7\u20139</td><td>6</td></tr>",
                      "<tr><td>10</td><td>7</td></tr>"}});
  }
  {  // cohorts of 5 up to 30, simulated, an obf design with P1 close to theta
    Report r = make_result(30, {5, 10, 15, 20, 25, 30}, {6, 6, 6, 8, 8, 10}, false);
    r.design.theta = 0.2;
    r.theta_row = 1;
    r.design.shape.kind = ShapeKind::kObf;
    r.alternative = 0.4;
    r.alternative_row = 3;
    cases.push_back({"CohortsSimulated",
                     r,
                     {"<tr><td>10\u201315</td><td>6</td></tr>", "<tr><td>20\u201325</td><td>8</td></tr>",
                      "<tr><td>30</td><td>10</td></tr>"}});
  }
  {  // no look can stop
    Report r = make_result(4, {1, 2, 3, 4}, {5, 5, 5, 5}, true);
    r.calibration.never_stops = true;
    cases.push_back({"NeverStops", r, {}});
  }
  {  // a plain rule file read with --evaluate: no theta, no PHI, a file name that needs escaping
    Report r = make_result(12, {4, 8, 12}, {3, 4, 5}, true);
    r.evaluated = true;
    r.has_theta = r.has_phi = false;
    r.theta_row.reset();
    r.rule_file = "rules <1> & 'b\".txt";
    cases.push_back({"EvaluatedWithoutTheta",
                     r,
                     {"<tr><td>4</td><td>3</td></tr>", "<tr><td>8</td><td>4</td></tr>",
                      "<tr><td>12</td><td>5</td></tr>"}});
  }
  return cases;
}

// The start of a decision row "<tr><td>4–6</td><td>3</td></tr>" as the page writes it, up to the cell of the
// observed rates that follows.
std::string row_start(const std::string &row) { return row.substr(0, row.size() - 5) + "<td>"; }

std::size_t occurrences(const std::string &text, const std::string &what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The full path of an executable found in PATH, or "".
std::string find_in_path(const std::string &name) {
  const char *path = std::getenv("PATH");
  std::string dirs = path == nullptr ? "" : path;
  for (std::size_t start = 0; start <= dirs.size();) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string candidate = dirs.substr(start, end - start) + "/" + name;
    if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return "";
}

// The markers of the looks on the boundary panel, in data units read back through the axis tick labels.
std::vector<std::tuple<int, int, bool>> looks_drawn(const std::string &svg, int *y_top) {
  // Position and label of each tick of the boundary panel (the left half of the picture).
  std::vector<std::pair<double, double>> x_ticks, y_ticks;
  const std::regex x_tick(
      "<text x=\"([0-9.]+)\" y=\"[0-9.]+\" text-anchor=\"middle\" class=\"xtick\">([0-9]+)<");
  for (std::sregex_iterator m(svg.begin(), svg.end(), x_tick), end; m != end; ++m)
    if (std::stod((*m)[1]) < 360) x_ticks.emplace_back(std::stod((*m)[1]), std::stod((*m)[2]));
  const std::regex y_tick(
      "<text x=\"([0-9.]+)\" y=\"([0-9.]+)\" text-anchor=\"end\" class=\"ytick\">([0-9]+)<");
  for (std::sregex_iterator m(svg.begin(), svg.end(), y_tick), end; m != end; ++m)
    if (std::stod((*m)[1]) < 360) y_ticks.emplace_back(std::stod((*m)[2]) - 4, std::stod((*m)[3]));
  std::vector<std::tuple<int, int, bool>> looks;
  if (x_ticks.size() < 2 || y_ticks.size() < 2) return looks;
  *y_top = static_cast<int>(y_ticks.back().second);
  auto value = [](const std::vector<std::pair<double, double>> &t, double at) {
    const auto &[p0, v0] = t.front();
    const auto &[p1, v1] = t.back();
    const double v = v0 + (at - p0) * (v1 - v0) / (p1 - p0);
    EXPECT_NEAR(v, std::round(v), 0.02) << "a marker between whole numbers";
    return static_cast<int>(std::lround(v));
  };
  const std::regex marker("<circle class=\"look( no-stop)?\" cx=\"([0-9.]+)\" cy=\"([0-9.]+)\"");
  for (std::sregex_iterator m(svg.begin(), svg.end(), marker), end; m != end; ++m)
    looks.emplace_back(value(x_ticks, std::stod((*m)[2])), value(y_ticks, std::stod((*m)[3])),
                       (*m)[1].matched);
  return looks;
}

class Pictures : public testing::TestWithParam<PictureCase> {};

TEST_P(Pictures, AreSelfContainedAndShowTheRule) {
  const Report &r = GetParam().result;
  const std::string svg = to_svg(r);
  const std::string html = to_html(r);
  const std::string xmlns = "http://www.w3.org/2000/svg";
  for (const std::string &doc : {svg, html}) {
    EXPECT_EQ(occurrences(doc, "<script"), 0u);
    EXPECT_EQ(occurrences(doc, "http"), 1u) << "only the SVG namespace may name a URI";
    EXPECT_EQ(occurrences(doc, xmlns), 1u);
    for (const char *reference : {"src=", "href", "@import", "url("})
      EXPECT_EQ(occurrences(doc, reference), 0u);
  }
  EXPECT_NE(html.find("<meta charset=\"utf-8\"/>"), std::string::npos);
  EXPECT_NE(html.find(svg.substr(svg.find("<svg"))), std::string::npos) << "the page holds the picture";
  // The decision rows in order, each with the observed rate at its first look and the exact interval.
  std::size_t at = html.find("<table class=\"decision\">");
  if (GetParam().decision_rows.empty()) {
    EXPECT_NE(html.find("No look can stop the trial."), std::string::npos);
  }
  for (const std::string &row : GetParam().decision_rows) {
    at = html.find(row_start(row), at);
    ASSERT_NE(at, std::string::npos) << row;
    const std::size_t cells = row.find("</td><td>");
    const int from = std::stoi(row.substr(8)), b = std::stoi(row.substr(cells + 9));
    const auto [low, high] = contmon::clopper_pearson(b, from);
    const std::string rate =
        contmon::format_string("%.2f (%.2f\u2013%.2f)", static_cast<double>(b) / from, low, high);
    EXPECT_EQ(html.substr(at + row_start(row).size(), rate.size()), rate);
  }

  // Every look whose count is on the axis has its marker at (look, count), faint where the count is
  // above the look.
  int y_top = 0;
  const auto drawn = looks_drawn(svg, &y_top);
  const Rule &rule = r.calibration.rule;
  std::vector<std::tuple<int, int, bool>> expected;
  for (std::size_t i = 0; i < rule.looks.size(); ++i)
    if (rule.counts[i] <= y_top)
      expected.emplace_back(rule.looks[i], rule.counts[i], rule.counts[i] > rule.looks[i]);
  EXPECT_EQ(drawn, expected);
  EXPECT_GE(y_top, 1);
  EXPECT_EQ(svg.find("never stops") != std::string::npos, r.calibration.never_stops);
  EXPECT_EQ(occurrences(svg, "class=\"row p-stop\""), r.oc.size());
  EXPECT_EQ(occurrences(svg, "class=\"row mean-n\""), r.oc.size());
}

TEST_P(Pictures, AreWellFormedForXmllint) {
  const std::string xmllint = find_in_path("xmllint");
  if (xmllint.empty()) GTEST_SKIP() << "xmllint is not installed (Debian: libxml2-utils)";
  ScratchDirectory dir;
  write_file(dir.path() / "picture.svg", to_svg(GetParam().result));
  write_file(dir.path() / "page.html", to_html(GetParam().result));
  for (const std::vector<std::string> &args :
       {std::vector<std::string>{"--noout", "picture.svg"}, {"--noout", "page.html"}}) {
    const ProgramRun run = run_program(xmllint, "", dir.path(), OutputTarget::kFile, args);
    EXPECT_EQ(run.status, 0) << args.back() << ":\n" << run.err;
    EXPECT_EQ(run.err, "") << args.back();
  }
}

INSTANTIATE_TEST_SUITE_P(Results, Pictures, testing::ValuesIn(picture_cases()), case_name<PictureCase>);

#ifdef CONTMON_HAVE_ZLIB
struct Image {
  std::size_t width = 0, height = 0, channels = 0;
  std::vector<unsigned char> pixels;  // row after row, channels bytes a pixel
};

// An 8-bit RGB or RGBA PNG without interlacing (Chromium's screenshots) decoded, else nullopt.
std::optional<Image> decode_png(const std::string &png) {
  auto byte = [&](std::size_t at) { return static_cast<unsigned char>(png[at]); };
  auto be32 = [&](std::size_t at) {
    return std::uint32_t{byte(at)} << 24 | std::uint32_t{byte(at + 1)} << 16 |
           std::uint32_t{byte(at + 2)} << 8 | byte(at + 3);
  };
  if (png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return std::nullopt;
  Image image;
  std::string compressed;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const std::size_t length = be32(at), body = at + 8;
    const std::string type = png.substr(at + 4, 4);
    if (body + length + 4 > png.size()) return std::nullopt;
    if (type == "IHDR") {
      image.width = be32(body);
      image.height = be32(body + 4);
      if (byte(body + 8) != 8 || byte(body + 12) != 0 || (byte(body + 9) != 2 && byte(body + 9) != 6))
        return std::nullopt;
      image.channels = byte(body + 9) == 2 ? 3 : 4;
    } else if (type == "IDAT") {
      compressed.append(png, body, length);
    }
    at = body + length + 4;
  }
  const std::size_t stride = image.width * image.channels;
  std::vector<unsigned char> raw(image.height * (stride + 1));
  uLongf size = raw.size();
  if (stride == 0 ||
      uncompress(raw.data(), &size, reinterpret_cast<const Bytef *>(compressed.data()), compressed.size()) !=
          Z_OK ||
      size != raw.size())
    return std::nullopt;
  // Undo each row's filter: none, sub, up, average, Paeth.
  image.pixels.resize(image.height * stride);
  for (std::size_t y = 0; y < image.height; ++y) {
    const unsigned char filter = raw[y * (stride + 1)];
    const unsigned char *in = &raw[y * (stride + 1) + 1];
    unsigned char *out = &image.pixels[y * stride];
    const unsigned char *up = y > 0 ? out - stride : nullptr;
    for (std::size_t i = 0; i < stride; ++i) {
      const int a = i >= image.channels ? out[i - image.channels] : 0, b = up ? up[i] : 0;
      const int c = up && i >= image.channels ? up[i - image.channels] : 0;
      const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
      const int predictor[] = {0, a, b, (a + b) / 2, pa <= pb && pa <= pc ? a : pb <= pc ? b : c};
      if (filter > 4) return std::nullopt;
      out[i] = static_cast<unsigned char>(in[i] + predictor[filter]);
    }
  }
  return image;
}

// Where pixels of one hue lie in the image: how many, and their bounding box.
struct Ink {
  std::size_t count = 0, left = SIZE_MAX, right = 0, top = SIZE_MAX, bottom = 0;
};

template <class Hue>
Ink ink(const Image &image, Hue hue) {
  Ink found;
  for (std::size_t y = 0; y < image.height; ++y)
    for (std::size_t x = 0; x < image.width; ++x) {
      const unsigned char *p = &image.pixels[(y * image.width + x) * image.channels];
      if (!hue(p[0], p[1], p[2])) continue;
      ++found.count;
      found.left = std::min(found.left, x), found.right = std::max(found.right, x);
      found.top = std::min(found.top, y), found.bottom = std::max(found.bottom, y);
    }
  return found;
}
#endif

// Runs headless Chromium on url in a folder of its own with a fresh profile, ended after 60 seconds; as root
// too.
ProgramRun run_chromium(const std::string &timeout, const std::string &chromium,
                        const std::filesystem::path &dir, const std::vector<std::string> &what,
                        const std::string &url) {
  std::filesystem::create_directory(dir);
  std::vector<std::string> args = {"-k",
                                   "5",
                                   "60",
                                   chromium,
                                   "--headless",
                                   "--no-sandbox",
                                   "--disable-gpu",
                                   "--user-data-dir=" + (dir / "profile").string()};
  args.insert(args.end(), what.begin(), what.end());
  args.push_back(url);
  return run_program(timeout, "", dir, OutputTarget::kFile, args);
}

TEST(PicturesInABrowser, TheReportPageReadsPrintsAndRenders) {
  const std::string chromium = find_in_path("chromium"), timeout = find_in_path("timeout");
  if (chromium.empty() || timeout.empty())
    GTEST_SKIP() << "chromium (or timeout) is not in PATH: the page is not checked in a browser";
  const PictureCase c = picture_cases()[1];
  ScratchDirectory dir;
  const std::string page = to_html(c.result);
  write_file(dir.path() / "report.html", page);
  // The same page on A4 paper (the browser's default is Letter), as a printer set to A4 would ask for it.
  std::string a4 = page;
  a4.insert(a4.find("</head>"), "<style>@page { size: A4; }</style>");
  write_file(dir.path() / "report_a4.html", a4);
  const std::string url = "file://" + (dir.path() / "report.html").string();
  // The runs go at once: each takes seconds, mostly waiting.
  auto start = [&](const std::string &name, std::vector<std::string> what, const std::string &file = "") {
    return std::async(std::launch::async, run_chromium, timeout, chromium, dir.path() / name, std::move(what),
                      file.empty() ? url : "file://" + (dir.path() / file).string());
  };
  auto dom_run = start("dom", {"--dump-dom"});
  auto print_run = start("print", {"--print-to-pdf=report.pdf", "--no-pdf-header-footer"});
  auto shot_run = start("shot", {"--screenshot=report.png", "--window-size=1000,1600"});
  auto a4_run = start("a4", {"--print-to-pdf=report.pdf", "--no-pdf-header-footer"}, "report_a4.html");

  // The page as the browser parsed it: the decision table's rows, and the picture as SVG.
  const ProgramRun dom = dom_run.get();
  ASSERT_EQ(dom.status, 0) << dom.err;
  for (const std::string &row : c.decision_rows) EXPECT_NE(dom.out.find(row_start(row)), std::string::npos) << row;
  EXPECT_NE(dom.out.find("<polyline class=\"p-stop\""), std::string::npos);

  // Printed on the browser's default paper: one or two pages. Skia writes each page's dictionary
  // uncompressed, with "/Type /Page" (the page tree is "/Type /Pages").
  // On A4 (595 by 842 points) the same.
  for (auto *run : {&print_run, &a4_run}) {
    const ProgramRun print = run->get();
    ASSERT_EQ(print.status, 0) << print.err;
    const std::string pdf = read_file(dir.path() / (run == &print_run ? "print" : "a4") / "report.pdf");
    ASSERT_EQ(pdf.compare(0, 5, "%PDF-"), 0);
    const std::regex page_object("/Type\\s*/Page(?!s)");
    const auto pages =
        std::distance(std::sregex_iterator(pdf.begin(), pdf.end(), page_object), std::sregex_iterator());
    EXPECT_GE(pages, 1);
    EXPECT_LE(pages, 2);
    if (run == &a4_run) {
      EXPECT_TRUE(std::regex_search(pdf, std::regex("/MediaBox\\s*\\[0 0 59[45](\\.[0-9]+)? 84[12]")));
    }
  }

#ifndef CONTMON_HAVE_ZLIB
  GTEST_SKIP() << "zlib was not found at build time: the screenshot is not decoded";
#else
  // On screen: the boundary's blue steps on the left, wide as the looks from 10 to 30 of the 30 patients,
  // and the red curve of P(stop) on the right, high as P(stop) from 0 to 1.
  const ProgramRun shot = shot_run.get();
  ASSERT_EQ(shot.status, 0) << shot.err;
  const std::optional<Image> image = decode_png(read_file(dir.path() / "shot" / "report.png"));
  ASSERT_TRUE(image.has_value());
  const Ink blue = ink(*image, [](int r, int g, int b) { return b > r + 50 && b > g + 30; });
  const Ink red = ink(*image, [](int r, int g, int b) { return r > g + 60 && r > b + 60; });
  ASSERT_GE(blue.count, 100u);
  ASSERT_GE(red.count, 100u);
  EXPECT_GE(blue.right - blue.left, 150u);
  EXPECT_GE(red.bottom - red.top, 150u);
  EXPECT_LT(blue.right, red.left);
  EXPECT_LT(red.bottom, 1600u / 2) << "the picture comes before the tables";
#endif
}

}  // namespace
