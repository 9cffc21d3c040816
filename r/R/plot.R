#' Print and plot a stopping rule
#'
#' `print()` shows the design, PHI*, the constant, the decision table and the
#' sentence for a protocol as the command line prints them. `plot()` draws
#' the boundary as a step plot of the stopping count `b` against the number
#' of patients `n`, with the decision table's rows marked.
#'
#' @param x A `contmon_rule`.
#' @param main,xlab,ylab Titles, as in [graphics::plot()].
#' @return `x`, invisibly.
#' @examples
#' rule <- stopping_rule(40, 0.2, 0.1, cohort = 5)
#' print(rule)
#' plot(rule)
#' @export
plot.contmon_rule <- function(x, main = "Stopping boundary", xlab = "Patients (n)",
                              ylab = "Events that stop the trial (b)", ...) {
  n <- x$boundary$n
  b <- x$boundary$b
  reachable <- b <= n
  top <- max(c(1, b[reachable]))
  plot(c(0, max(n)), c(0, top), type = "n", main = main, xlab = xlab, ylab = ylab, ylim = c(0, top * 1.15))
  lines(c(0, n), c(0, n), lty = 3, col = "grey50")
  if (any(reachable)) {
    lines(c(n[reachable], max(n)), c(b[reachable], b[reachable][sum(reachable)]), type = "s", lwd = 2)
    points(n[reachable], b[reachable], pch = 19, cex = 0.6)
  }
  rows <- x$decision_table
  if (nrow(rows) > 0) {
    segments(rows$from, rows$b, rows$to, rows$b, col = "firebrick", lwd = 4)
    text(rows$from, rows$b, labels = ifelse(rows$from == rows$to, rows$from, paste0(rows$from, "-", rows$to)),
         pos = 3, cex = 0.7, col = "firebrick")
  }
  legend("topleft", c("boundary at the looks", "decision table rows", "b = n"), bty = "n",
         lty = c(1, 1, 3), lwd = c(2, 4, 1), col = c("black", "firebrick", "grey50"))
  invisible(x)
}

#' Plot operating characteristics
#'
#' Draws, side by side, the probability of stopping and the expected number
#' of patients against the true event probability, with the probability of
#' stopping before the last look dashed.
#'
#' @param x A `contmon_oc` data frame from [oc()] or [evaluate_rule()].
#' @param ... Unused.
#' @return `x`, invisibly.
#' @examples
#' rule <- stopping_rule(40, 0.2, 0.1)
#' plot(oc(rule, seq(0.05, 0.6, by = 0.05)))
#' @export
plot.contmon_oc <- function(x, ...) {
  ordered <- x[order(x$rate), , drop = FALSE]
  old <- par(mfrow = c(1, 2))
  on.exit(par(old))
  plot(ordered$rate, ordered$p_stop, type = "b", pch = 19, ylim = c(0, 1), xlab = "Event probability",
       ylab = "Probability", main = "Probability of stopping")
  lines(ordered$rate, ordered$p_stop_before_last, type = "b", lty = 2, pch = 1)
  legend("bottomright", c("P(stop)", "P(stop before the last look)"), lty = c(1, 2), pch = c(19, 1), bty = "n")
  plot(ordered$rate, ordered$mean_n, type = "b", pch = 19, ylim = c(0, max(ordered$mean_n)),
       xlab = "Event probability", ylab = "E[N]", main = "Expected number of patients")
  invisible(x)
}
