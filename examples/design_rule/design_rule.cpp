// design_rule K THETA PHI: the exact Pocock design after every patient as the JSON report that
// `contmon-exact --format json --no-output K THETA PHI` prints, under this program's name and date.
// Public API only; an invalid argument prints the library's message and exits with status 1.
#include <cstdio>
#include <ctime>
#include <string>

#include "contmon/contmon.h"

// The time now in the strftime format, local or in UTC ("" when unknown).
static std::string now_text(const char *format, bool utc) {
  const std::time_t now = std::time(nullptr);
  const std::tm *when = utc ? std::gmtime(&now) : std::localtime(&now);
  char text[64] = "";
  if (when != nullptr) std::strftime(text, sizeof text, format, when);
  return text;
}

int main(int argc, char **argv) {
  const std::string path = argc > 0 ? argv[0] : "";
  const std::string program = path.substr(path.find_last_of('/') + 1);
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s K THETA PHI\n", program.c_str());
    return 1;
  }
  try {
    contmon::ReportRequest request;  // the default rows of the table, no alternative, no curve
    request.design.K = contmon::parse_sample_size(argv[1]);
    request.design.theta = contmon::parse_probability("THETA", argv[2]);
    request.design.phi = contmon::parse_probability("PHI", argv[3]);
    request.design.looks = contmon::schedule_looks(request.design.K, {});  // every patient, as programs do
    contmon::Report report = contmon::report(request, contmon::Method{contmon::MethodKind::kExact});
    // What report() leaves to its caller, set as the programs set it; no boundary file is written.
    report.program = program;
    report.version = contmon::kVersion;
    report.date = now_text("%a %b %e %H:%M:%S %Y", false);    // asctime()'s form
    report.timestamp = now_text("%Y-%m-%dT%H:%M:%SZ", true);  // ISO 8601, UTC
    std::fputs(contmon::to_json(report).c_str(), stdout);
  } catch (const contmon::Error &error) {
    std::fprintf(stderr, "%s: %s\n", program.c_str(), error.what());
    return 1;
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
