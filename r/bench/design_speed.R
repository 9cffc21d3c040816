# Time of stopping_rule(255, 0.05, 0.1), exact, per call in R (a benchmark, not a test).
# Usage: Rscript r/bench/design_speed.R [LIBRARY] [CALLS]
arguments <- commandArgs(TRUE)
library(contmon, lib.loc = if (length(arguments) >= 1) arguments[1] else NULL)
calls <- if (length(arguments) >= 2) as.integer(arguments[2]) else 50L

invisible(stopping_rule(255, 0.05, 0.1))  # loads the code once
seconds <- vapply(seq_len(calls), function(i) {
  started <- Sys.time()
  stopping_rule(255, 0.05, 0.1)
  as.numeric(difftime(Sys.time(), started, units = "secs"))
}, numeric(1))
ms <- 1000 * seconds
cat(sprintf("stopping_rule(255, 0.05, 0.1): median %.1f ms, fastest %.1f ms, slowest %.1f ms over %d calls\n",
            median(ms), min(ms), max(ms), calls))
cpu <- grep("^model name", readLines("/proc/cpuinfo", warn = FALSE), value = TRUE)
if (length(cpu)) cat(sprintf("machine: %s, %d cores; %s\n", sub(".*: ", "", cpu[1]), length(cpu), R.version.string))
