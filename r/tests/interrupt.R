# An interrupt (Ctrl-C, here SIGINT from a child shell) during a long simulated design returns to R
# within about a second as R's interrupt condition, with no thread of the run left behind, and the
# session goes on. Usage: Rscript r/tests/interrupt.R [LIBRARY]
arguments <- commandArgs(TRUE)
library(contmon, lib.loc = if (length(arguments)) arguments[1] else NULL)

threads <- function() length(list.files("/proc/self/task"))
fail <- function(...) {
  cat("interrupt.R: ", ..., "\n", sep = "", file = stderr())
  quit(status = 1)
}

before <- threads()
delay <- 1.5
system(sprintf("(sleep %g; kill -INT %d) > /dev/null 2>&1 &", delay, Sys.getpid()))
started <- Sys.time()
outcome <- tryCatch({
  stopping_rule(255, 0.05, 0.1, method = "simulation")
  "finished"
}, interrupt = function(condition) "interrupted")
elapsed <- as.numeric(difftime(Sys.time(), started, units = "secs"))
Sys.sleep(0.2)
after <- threads()

cat(sprintf("interrupt.R: %s after %.2f s (SIGINT at %.1f s); threads before %d, after %d\n",
            outcome, elapsed, delay, before, after))
if (outcome != "interrupted") fail("the run was not interrupted")
if (elapsed > delay + 1) fail(sprintf("the interrupt took %.2f s to return", elapsed - delay))
if (after != before) fail("threads left running: ", after - before)
rule <- stopping_rule(40, 0.2, 0.1)
if (rule$boundary$b[40] != 14L) fail("the session does not go on after the interrupt")
cat("interrupt.R: the session goes on\n")
