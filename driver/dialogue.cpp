// The console dialogue: banner, prompt, and the reading and validation of
// K, THETA and PHI.
#include "driver/driver.h"

#include <cctype>
#include <string>

#include "bndry/bndry.h"
#include "cross2s/cross2s.h"
#include "driver/driver_internal.h"

void print_banner(std::FILE *out, bool original_design) {
  std::fprintf(out, "Continuous monitoring of clinical trials involving binary outcomes\n");
  std::fprintf(out, original_design ? "   using Pocock-type boundaries " : "   using the design stated below ");
  std::fprintf(out, "(version 1.2)\n");
  std::fprintf(out, original_design
                        ? "contmon: boundaries and operating characteristics for monitoring after every patient\n"
                        : "contmon: boundaries and operating characteristics for monitoring at the looks of a "
                          "design\n");
  std::fprintf(out, "\n");
  std::fprintf(out, "(%s calculations)\n", method());
  std::fprintf(out, "Defintions: \n");
  std::fprintf(out, "  K     = the maximum planned sample size\n");
  std::fprintf(out, "  THETA = the event probability\n");
  std::fprintf(out, "  PHI   = the desired probability of early stopping (hitting the boundary)\n");
}

void print_prompt(std::FILE *out) { std::fprintf(out, "Input  K  THETA  PHI: "); }

void ReadData(int *K, double *THETA, double *PHI) { read_data(stdin, K, THETA, PHI); }

namespace {

// Ends the run when K's digits run on into anything but white space or the end of the input (40.5, 4e1,
// 40,): such a K is not the whole number it would otherwise be read as. The message shows the whole word
// typed, at most kShown characters of it, with unprintable characters as '?'.
void reject_k_unless_whole(std::FILE *in, std::string typed) {
  constexpr std::size_t kShown = 40;
  int c = std::getc(in);
  if (c != EOF) std::ungetc(c, in);
  if (c == EOF || std::isspace(c)) return;
  for (c = std::getc(in); c != EOF && !std::isspace(c); c = std::getc(in)) {
    if (typed.size() <= kShown) typed.push_back(static_cast<char>(c));
  }
  if (typed.size() > kShown) typed.replace(kShown, std::string::npos, "...");
  for (char &ch : typed)
    if (!std::isprint(static_cast<unsigned char>(ch))) ch = '?';
  std::printf("ReadData: K = '%s' is not a whole number in [%d:%d]\n", typed.c_str(), 1, kMaxStages);
  fatal_exit(1);
}

}  // namespace

void read_data(std::FILE *in, int *K, double *THETA, double *PHI) {
  std::string typed;
  *K = int_read_text(in, &typed);
  reject_k_unless_whole(in, typed);
  if (*K < 1 || *K > kMaxStages) {
    std::printf("ReadData: n = %d is outside [%d:%d]\n", *K, 1, kMaxStages);
    fatal_exit(1);
  }
  // The negated tests reject a NaN as well as values outside (0, 1).
  *THETA = dbl_read(in);
  if (!(*THETA > 0.0 && *THETA < 1.0)) {
    std::printf("ReadData: theta = %g is outside (0,1)\n", *THETA);
    fatal_exit(1);
  }
  *PHI = dbl_read(in);
  if (!(*PHI > 0.0 && *PHI < 1.0)) {
    std::printf("ReadData: phi = %g is outside (0,1)\n", *PHI);
    fatal_exit(1);
  }
}
