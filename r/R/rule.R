#' Design a stopping rule for toxicity monitoring
#'
#' Calibrates the rule of a single-arm trial that monitors a binary outcome
#' (an event such as a toxicity): at each look the running count of events is
#' compared with an upper boundary, and the trial stops when the count reaches
#' it. Among the rules that the shape gives, the one chosen stops most often
#' when the event probability is `theta` while keeping that probability at or
#' below `phi`. The default is the Pocock boundary after every patient. The
#' figures are those of the command-line programs, to the last digit.
#'
#' @param K The maximum number of patients, a whole number from 1 to 255; the
#'   last look.
#' @param theta The acceptable event probability, between 0 and 1.
#' @param phi The largest acceptable probability of stopping when the event
#'   probability is `theta`, between 0 and 1; may be `NULL` when `constant`
#'   is given.
#' @param shape The boundary shape, as the command line's `--shape` writes it:
#'   `"pocock"`, `"obf"` (O'Brien-Fleming), `"wt:DELTA"` (Wang-Tsiatis, e.g.
#'   `"wt:0.25"`), `"bayes:A,B"` (a Beta(A, B) prior, e.g. `"bayes:0.6,2.4"`),
#'   `"sprt:P1"` (e.g. `"sprt:0.4"`), `"maxsprt"` or `"cc:A,B,P1,NU"`
#'   (Chen-Chaloner: a Beta(A, B) prior, a stop also needing the posterior
#'   probability above P1 to reach NU, e.g. `"cc:1,1,0.4,0.5"`).
#' @param looks The patients after whom the count is checked, a vector of whole
#'   numbers; `K` is always a look. `NULL`: every patient (or every `cohort`-th).
#' @param cohort Look after every `cohort`-th patient (and at `K`); `NULL`: no
#'   cohorts. Give either `looks` or `cohort`.
#' @param start The first patient after whom the count is checked (a run-in);
#'   `NULL`: from the first patient.
#' @param min_events The fewest events that may stop the trial.
#' @param method `"exact"` (the default) computes the probabilities exactly;
#'   `"simulation"` estimates them from 1,000,000 simulated trials of the
#'   command line's seeded generator.
#' @param constant The shape's constant (the pointwise level for `"pocock"`,
#'   the posterior threshold for `"bayes"` and `"cc"`), as `--constant`: the
#'   rule of that constant, not calibrated. `NULL`: calibrate against `phi`.
#' @param alternative An unacceptable event probability P1 above `theta`, as
#'   `--alternative`: its row is added to the table and the sentence gives
#'   the power there.
#' @param accrual,window Patients enter evenly over `accrual` time units and
#'   each outcome is known `window` units after entry, as `--accrual` and
#'   `--window` (give both or neither): the rows of `oc` gain `mean_enrolled`,
#'   `mean_calendar_time` and `mean_events_with_pending`.
#' @param trials,seed The simulated trials per figure (1,000 to 100,000,000)
#'   and the generator's seed, as `--trials` and `--seed`; simulation only.
#' @return An object of class `contmon_rule`, a list with
#'   \describe{
#'     \item{`boundary`}{a data frame of the looks `n` and the stopping counts `b`}
#'     \item{`decision_table`}{a data frame of rows `from`, `to`, `b`: at the looks
#'       from patient `from` to patient `to` the trial stops when the events reach `b`}
#'     \item{`phi_star`}{the rule's probability of stopping at `theta`}
#'     \item{`constant`}{the constant of the shape (for `"pocock"` the pointwise level)}
#'     \item{`neighbour`}{`list(constant, phi_star)` of the next candidate, which stops
#'       more often (`phi_star` above `phi`); `NULL` when there is none}
#'     \item{`sentence`}{the rule in one sentence for a protocol}
#'     \item{`design`}{the inputs: `K`, `theta`, `phi`, `shape`, `looks` (all of them),
#'       `min_events`, `cohort`, `start`}
#'     \item{`method`}{`"exact"` or `"simulation"`}
#'     \item{`arguments`}{the command line's arguments for the same design}
#'     \item{`oc`}{the operating characteristics at the default rates, as [oc()] gives them}
#'     \item{`phi_star_exact`}{of a simulated design, its probability of stopping at `theta`
#'       computed exactly}
#'     \item{`constant_fixed`, `within_phi`}{whether `constant` was given, and then whether the
#'       rule keeps the probability of stopping at `theta` at or below `phi`}
#'     \item{`trials`, `seed`}{the simulation's trials and seed}
#'   }
#'   A design whose rule can never stop the trial gives a warning.
#' @seealso [oc()] for the operating characteristics, [write_boundary()] for
#'   the boundary file, [plot.contmon_rule()].
#' @examples
#' rule <- stopping_rule(40, 0.2, 0.1)
#' rule
#' rule$decision_table
#' rule$phi_star
#'
#' # An O'Brien-Fleming boundary checked after every 5th patient
#' stopping_rule(40, 0.2, 0.1, shape = "obf", cohort = 5)$boundary
#'
#' # A Bayesian boundary with a run-in of 10 patients and at least 3 events
#' stopping_rule(40, 0.2, 0.1, shape = "bayes:0.6,2.4", start = 10, min_events = 3)
#'
#' # A Chen-Chaloner boundary, with patients entering over a year and outcomes known after 28 days
#' rule <- stopping_rule(40, 0.2, 0.1, shape = "cc:1,1,0.4,0.5", alternative = 0.4,
#'                       accrual = 365, window = 28)
#' rule$oc[, c("rate", "p_stop", "mean_n", "mean_enrolled")]
#'
#' # The rule of a posterior threshold of 0.9, without PHI
#' stopping_rule(40, 0.2, NULL, shape = "bayes:1,1", constant = 0.9)$decision_table
#' @export
stopping_rule <- function(K, theta, phi, shape = "pocock", looks = NULL, cohort = NULL, start = NULL,
                          min_events = 1, method = c("exact", "simulation"), constant = NULL,
                          alternative = NULL, accrual = NULL, window = NULL, trials = NULL, seed = NULL) {
  call <- sys.call()
  K <- check_number(K, "K", call)
  theta <- check_number(theta, "theta", call)
  constant <- check_optional_number(constant, "constant", call)
  phi <- if (missing(phi) || (is.null(phi) && !is.null(constant))) NA_real_ else check_number(phi, "phi", call)
  if (is.na(phi) && is.null(constant)) check_number(NULL, "phi", call)
  shape <- check_string(shape, "shape", call)
  if (!is.null(looks)) looks <- check_numbers(looks, "looks", call)
  cohort <- check_optional_number(cohort, "cohort", call)
  start <- check_optional_number(start, "start", call)
  min_events <- check_number(min_events, "min_events", call)
  method <- check_method(method, call)
  alternative <- check_optional_number(alternative, "alternative", call)
  accrual <- check_optional_number(accrual, "accrual", call)
  window <- check_optional_number(window, "window", call)
  trials <- check_optional_number(trials, "trials", call)
  seed <- check_optional_number(seed, "seed", call)
  for (name in c("trials", "seed"))
    if (!is.null(get(name)) && method == "exact")
      stop_contmon(sprintf("%s sets the simulation, and this rule is computed exactly: give method = \"simulation\"",
                           name), name, call)
  result <- from_core(.cm_design(K, theta, phi, shape, if (is.null(looks)) numeric() else looks,
                                 na_if_null(cohort), na_if_null(start), min_events, method == "exact",
                                 na_if_null(constant), na_if_null(alternative), na_if_null(accrual),
                                 na_if_null(window), na_if_null(trials), na_if_null(seed)),
                      call)
  finish_rule(result, cohort, start)
}

na_if_null <- function(x) if (is.null(x)) NA_real_ else x

# A rule from the core's design: its warning raised, the schedule as given kept.
finish_rule <- function(result, cohort, start) {
  if (!is.null(result$warning)) {
    warning(result$warning, call. = FALSE)
    result$warning <- NULL
  }
  result$design$cohort <- cohort
  result$design$start <- start
  new_rule(result)
}

# The R object from the core's lists: data frames and classes.
new_rule <- function(result) {
  result$boundary <- as.data.frame(result$boundary)
  result$decision_table <- data.frame(from = result$decision_table$from, to = result$decision_table$to,
                                      b = result$decision_table$b)
  if (!is.null(result$oc)) result$oc <- new_oc(result$oc, result$method)
  structure(result, class = "contmon_rule")
}

#' @rdname plot.contmon_rule
#' @param ... Unused.
#' @export
print.contmon_rule <- function(x, ...) {
  cat(from_core(.cm_print_text(x, FALSE), sys.call()))
  invisible(x)
}

#' Summaries of a stopping rule
#'
#' `summary()` gives the design, the figures and the decision table of the
#' rule with its operating characteristics at the default rates, printed as
#' the command line prints its report (without the boundary's line per look).
#' `as.data.frame()` gives the boundary: the looks `n` and the stopping counts
#' `b`.
#'
#' @param object,x A `contmon_rule`.
#' @param row.names,optional Unused, for the generic.
#' @param ... Unused.
#' @return `summary()`: an object of class `summary.contmon_rule`, printed as
#'   the report; `as.data.frame()`: a data frame with columns `n` and `b`.
#' @examples
#' rule <- stopping_rule(20, 0.3, 0.05, cohort = 5)
#' summary(rule)
#' as.data.frame(rule)
#' @export
summary.contmon_rule <- function(object, ...) {
  structure(list(rule = object, text = from_core(.cm_print_text(object, TRUE), sys.call())),
            class = "summary.contmon_rule")
}

#' @rdname summary.contmon_rule
#' @export
print.summary.contmon_rule <- function(x, ...) {
  cat(x$text)
  invisible(x)
}

#' @rdname summary.contmon_rule
#' @export
as.data.frame.contmon_rule <- function(x, row.names = NULL, optional = FALSE, ...) {
  x$boundary
}
