#' Operating characteristics of a stopping rule
#'
#' What the rule does when the true event probability is each of `rates`:
#' the probability that the trial stops, that it stops before the last look,
#' and the means and standard deviations of the number of patients `N`, of
#' events `Y` and of `Y/N` when the trial ends. The figures are computed by
#' the rule's method; as in a run of the command line, a simulated rule's row
#' at `theta` is the simulation that gave its `phi_star`, and every other row
#' starts from the generator's seed.
#'
#' @param rule A `contmon_rule` from [stopping_rule()] or [read_boundary()].
#' @param rates The event probabilities, each between 0 and 1, in the order
#'   wanted. `NULL`: the command line's default rows (`theta`, then 0.05, 0.10,
#'   ..., 0.95 from `theta` on).
#' @return A data frame of class `c("contmon_oc", "data.frame")`, one row per
#'   rate, with the columns `rate`, `p_stop`, `p_stop_before_last`, `mean_n`,
#'   `sd_n`, `mean_y`, `sd_y`, `mean_proportion`, `sd_proportion` and, for
#'   simulated figures, their Monte Carlo standard errors `se_p_stop` and
#'   `se_mean_n`, then `p_stop_at_look`, a list column holding for each row
#'   the probability of stopping at each look of the rule (in the order of
#'   the looks; they sum to `p_stop`), and, for a rule designed with
#'   `accrual` and `window`, `mean_enrolled`, `mean_calendar_time` and
#'   `mean_events_with_pending`.
#' @seealso [evaluate_rule()] for a rule given as counts, [plot.contmon_oc()].
#' @examples
#' rule <- stopping_rule(40, 0.2, 0.1)
#' oc(rule)
#' # the power and expected sample size at an unacceptable rate of 0.35
#' oc(rule, 0.35)[, c("rate", "p_stop", "mean_n")]
#' # where it stops: the probability at each look, at 0.35
#' oc(rule, 0.35)$p_stop_at_look[[1]]
#' @export
oc <- function(rule, rates = NULL) {
  call <- sys.call()
  check_rule_object(rule, call)
  if (is.null(rates) && !is.null(rule$oc)) return(rule$oc)
  rates <- if (is.null(rates)) numeric() else check_numbers(rates, "rates", call)
  new_oc(from_core(.cm_oc(rule, rates), call), rule$method)
}

#' Operating characteristics of a rule given as counts
#'
#' Evaluates a stopping rule written as its stopping counts, as the command
#' line's `--evaluate` does with a rule file: at look `looks[i]` the trial
#' stops when the count of events reaches `b[i]`.
#'
#' @param b The stopping counts, whole numbers of at least 1, one per look. A
#'   count above its look cannot be reached: no stop is possible there.
#' @param looks The looks, ascending whole numbers; the last is the maximum
#'   number of patients K. By default every patient from 1 to `length(b)`.
#' @param rates The event probabilities at which to evaluate the rule.
#' @param method `"exact"` or `"simulation"` (1,000,000 simulated trials from
#'   the command line's seed at every rate).
#' @return A `contmon_oc` data frame, as [oc()] returns.
#' @examples
#' # stop at 3 events among the first 10 patients, or 5 among 20
#' evaluate_rule(c(3, 5), looks = c(10, 20), rates = c(0.1, 0.2, 0.3))
#' @export
evaluate_rule <- function(b, looks = seq_along(b), rates, method = "exact") {
  call <- sys.call()
  b <- check_whole_numbers(b, "b", call)
  looks <- check_whole_numbers(looks, "looks", call)
  rates <- if (missing(rates) || is.null(rates)) numeric() else check_numbers(rates, "rates", call)
  method <- check_method(method, call)
  new_oc(from_core(.cm_evaluate(b, looks, rates, method == "exact"), call), method)
}

# The core's columns as a data frame; p_stop_at_look, one vector per row, is a list column.
new_oc <- function(columns, method) {
  frame <- as.data.frame(columns[names(columns) != "p_stop_at_look"])
  frame$p_stop_at_look <- columns$p_stop_at_look
  frame <- frame[, names(columns), drop = FALSE]
  attr(frame, "method") <- method
  class(frame) <- c("contmon_oc", "data.frame")
  frame
}
