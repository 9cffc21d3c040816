// Public interface of the bndry module: support routines (fatal errors,
// checked allocation, files, console readers, printers, time stamps) and
// binomial arithmetic.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

/// The largest maximum sample size K: the binomial tables and the boundary hold stages 1..255.
inline constexpr int kMaxStages = 255;

// ---- Support routines -------------------------------------------------------

/// Ends the process with status after a fatal condition of the support routines or the dialogue.
[[noreturn]] void fatal_exit(int status);

/// Makes fatal_exit call handler (which must not return) instead of ending the process; null restores
/// the exit. Lets a harness run the fatal paths in-process, e.g. by throwing from the handler.
void set_fatal_exit_handler(void (*handler)(int status));

/// Flushes standard output, prints the formatted message there and ends the process with status 2.
[[noreturn]] void eprintf(const char *format, ...) __attribute__((format(printf, 1, 2)));

/// Allocates n bytes; on failure prints "malloc of N bytes failed:" and ends with status 2.
void *emalloc(std::size_t n);

/// Resizes block p (or allocates when p is null) to n bytes; ends with status 2 on failure.
void *erealloc(void *p, std::size_t n);

/// Opens a file; on failure reports the system's reason on standard error and returns null.
std::FILE *open_file(const char *name, const char *mode);

/// Closes fp (null is allowed and gives 0); reports "Close failed: reason" when the close or an earlier
/// write to fp failed, and then returns EOF.
int close_file(std::FILE *fp);

/// A file written in place of another: under a temporary name in the target's folder, renamed over the target
/// when complete, so that no reader ever sees it half-written and of two runs writing it at once one complete
/// file remains. A target that exists and is not a regular file (a device such as /dev/stdout, a pipe) is
/// written directly.
struct ReplacementFile {
  std::FILE *fp = nullptr;  ///< where to write
  std::string target;       ///< the file replaced, links followed
  std::string temporary;    ///< the temporary file; empty when the target is written directly
};

/// Opens a replacement for the file name; on failure reports "Open of NAME with mode=w failed: reason" on
/// standard error and returns false.
bool open_replacement(ReplacementFile *file, const char *name);

/// Completes the replacement: closes the file (reporting a failure as close_file does) and renames it over
/// the target (reporting "Rename of TEMPORARY to TARGET failed: reason"). Returns 0, or EOF after a failure,
/// in which case the temporary file is removed and the target left as it was.
int commit_replacement(ReplacementFile *file);

/// Flushes fp and checks that nothing written to it was lost; if something was, reports
/// "Write to NAME failed: reason" on standard error and returns EOF, else returns 0.
int flush_output(std::FILE *fp, const char *name);

/// Prints x[lo..hi] one element a line as "label[i] = x \n", or "label[] is empty".
void vec_print(std::FILE *fp, const double *x, int lo, int hi, const char *label);

/// Prints x[lo..hi] one element a line as "label[i] = x \n", or "label[] is empty".
void ivec_print(std::FILE *fp, const int *x, int lo, int hi, const char *label);

/// Reads one int; ends the process with status 1 on end of input or text that is not a number.
int int_read(std::FILE *fp);

/// Reads one int as int_read does and stores in typed the characters that make it up (sign and digits, at
/// most 64 of them).
int int_read_text(std::FILE *fp, std::string *typed);

/// Reads one double; ends the process with status 1 on end of input or text that is not a number.
double dbl_read(std::FILE *fp);

/// The name the program was invoked by (argv[0]) without its directory; "contmon" when there is none.
std::string program_name(const char *argv0);

/// Prints the program label and the CPU time between two millisecond clock readings.
void printtime(std::FILE *fp, const char *label, int t0, int t1);

/// Prints "Date and time: " and the local time in asctime form.
void printdatetime(std::FILE *fp);

/// The local time in asctime form without its line feed ("" when unknown), as printdatetime prints it.
std::string datetime_text();

/// Releases a block obtained from emalloc or erealloc.
struct FreeDeleter {
  void operator()(void *p) const noexcept { std::free(p); }
};

/// A working buffer from the checked allocator, released when it goes out of scope.
template <class T>
using CheckedBuffer = std::unique_ptr<T[], FreeDeleter>;

/// Allocates n elements of T (uninitialised) through emalloc.
template <class T>
CheckedBuffer<T> checked_buffer(std::size_t n) {
  return CheckedBuffer<T>(static_cast<T *>(emalloc(n * sizeof(T))));
}

// ---- Binomial arithmetic ----------------------------------------------------

/// ln n! for 0 <= n <= 255, NaN otherwise.
double ilfact(int n);

/// ln Gamma(n) = ln (n-1)! for 1 <= n <= 256, NaN otherwise.
double ilgamma(int n);

/// P(Y = y) for Y ~ Binomial(n, p), with exact answers at p = 0, p = 1 and n = 0.
double bin_pdf(int y, int n, double p);

/// ln P(Y = y) for Y ~ Binomial(n, p), following the special cases of bin_pdf.
double bin_log_pdf(int y, int n, double p);

/// Fills row[0..n] with the Binomial(n, p) probabilities; 1 (row untouched) for invalid n or p.
int bin_pdf_vec(double row[], int n, double p);

/// Fills row[0..n] with the tail probabilities P(Y >= k); 1 (row untouched) for invalid n or p.
int bin_srv_vec(double row[], int n, double p);

/// ln(x / (1 - x)).
double logit(double x);

/// 1 / (exp(-x) + 1), the inverse of logit.
double alogit(double x);

// ---- Candidate levels and the boundary search --------------------------------

/// For k = 0..n-2 in order: v[k] = (v[k+1] + v[k]) * 0.5, each the midpoint of two neighbours as they stood.
void midpoints(double v[], int n);

/// Writes b[1..K]: one more than the largest count j whose upper tail under THETA exceeds level (0 at every
/// stage for a level of 1 or more). Returns 0; 1 (b untouched) for K outside 1..255 or THETA outside [0,1].
int GetPointwiseBndry(int b[], int K, double level, double THETA);

/// Finds the Pocock-type upper boundary for K, THETA and PHI: writes b[1..K], the level pair alpha (the level
/// in force, the next candidate) and the estimated hitting probability PHIstar. Returns 0, or a failure code
/// (1 for K or THETA out of range, else the code of CrossingProb) with nothing written.
int FindBndry(int b[], double alpha[2], double *PHIstar, int K, double THETA, double PHI);

// ---- Operating characteristics -------------------------------------------------

/// What a fixed pair of boundaries does at one event probability: moments of the events Y, the patients N
/// and the proportion Y/N when a trial ends, and the probability of stopping at the upper boundary.
struct oc_summary {
  double mean_y;    ///< E[Y]
  double sd_y;      ///< SD[Y]
  double mean_n;    ///< E[N]
  double sd_n;      ///< SD[N]
  double mean_yn;   ///< E[Y/N]
  double sd_yn;     ///< SD[Y/N]
  double phi_star;  ///< P(stopping at the upper boundary at any stage)
};

/// Runs the crossing engine for THETA and the boundaries and summarises the distribution of (Y, N) it gives
/// (population moments). Ends the process with status 1, printing nothing, when the engine rejects its input.
oc_summary summary(double THETA, int K, const int lower[], const int upper[]);
