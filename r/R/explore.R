#' Compare boundary shapes
#'
#' Calibrates the same design with each shape, as the command line does when
#' `--shape` is given several times, and tabulates for each its constant,
#' PHI*, its power at the alternative, the expected number of patients at
#' `theta` and at the alternative, the first patient at which the trial can
#' stop and the stopping count at `K`.
#'
#' @inheritParams stopping_rule
#' @param shapes The shapes to compare, two or more, as [stopping_rule()]'s
#'   `shape` writes them.
#' @return An object of class `contmon_comparison`: a list with `rules`, one
#'   `contmon_rule` per shape in the order given, and `table`, a data frame
#'   of the columns `shape`, `constant`, `phi_star`, `power`, `mean_n_theta`,
#'   `mean_n_alternative` (`NA` without an alternative), `first_stop` (`NA`
#'   when the rule never stops) and `count_at_K`. `print()` shows the command
#'   line's comparison, `as.data.frame()` gives `table`, `plot()` overlays
#'   the boundaries.
#' @examples
#' designs <- compare_shapes(40, 0.2, 0.1, c("pocock", "obf", "bayes:1,1", "cc:1,1,0.4,0.5"),
#'                           cohort = 5, alternative = 0.4)
#' as.data.frame(designs)
#' designs
#' plot(designs)
#' @export
compare_shapes <- function(K, theta, phi, shapes, looks = NULL, cohort = NULL, start = NULL, min_events = 1,
                           alternative = NULL, method = c("exact", "simulation")) {
  call <- sys.call()
  K <- check_number(K, "K", call)
  theta <- check_number(theta, "theta", call)
  phi <- check_number(phi, "phi", call)
  if (!is.character(shapes) || length(shapes) < 2L || anyNA(shapes))
    stop_contmon(sprintf("invalid shapes: give two shapes or more, as c(\"pocock\", \"obf\"), not %s",
                         describe(shapes)), "shapes", call)
  if (!is.null(looks)) looks <- check_numbers(looks, "looks", call)
  cohort <- check_optional_number(cohort, "cohort", call)
  start <- check_optional_number(start, "start", call)
  min_events <- check_number(min_events, "min_events", call)
  alternative <- check_optional_number(alternative, "alternative", call)
  method <- check_method(method, call)
  results <- from_core(.cm_compare(K, theta, phi, shapes, if (is.null(looks)) numeric() else looks,
                                   na_if_null(cohort), na_if_null(start), min_events, na_if_null(alternative),
                                   method == "exact"), call)
  rules <- lapply(results, finish_rule, cohort = cohort, start = start)
  table <- as.data.frame(from_core(.cm_comparison_rows(rules), call), stringsAsFactors = FALSE)
  structure(list(rules = rules, table = table), class = "contmon_comparison")
}

#' @rdname compare_shapes
#' @param x A `contmon_comparison`.
#' @param ... Unused.
#' @export
print.contmon_comparison <- function(x, ...) {
  cat(from_core(.cm_comparison_text(x$rules), sys.call()))
  invisible(x)
}

#' @rdname compare_shapes
#' @param row.names,optional Unused, for the generic.
#' @export
as.data.frame.contmon_comparison <- function(x, row.names = NULL, optional = FALSE, ...) x$table

#' @rdname compare_shapes
#' @param main,xlab,ylab Titles, as in [graphics::plot()].
#' @export
plot.contmon_comparison <- function(x, main = "Stopping boundaries", xlab = "Patients (n)",
                                    ylab = "Events that stop the trial (b)", ...) {
  # The Okabe-Ito palette, which readers with any colour vision tell apart, and a dash per design.
  palette <- c("#0072B2", "#D55E00", "#009E73", "#CC79A7", "#E69F00", "#56B4E9", "#F0E442", "#000000")
  count <- length(x$rules)
  colours <- rep_len(palette, count)
  dashes <- rep_len(1:6, count)
  reachable <- lapply(x$rules, function(rule) rule$boundary[rule$boundary$b <= rule$boundary$n, ])
  K <- max(vapply(x$rules, function(rule) max(rule$boundary$n), 0))
  top <- max(c(1, unlist(lapply(reachable, function(points) points$b))))
  plot(c(0, K), c(0, top), type = "n", main = main, xlab = xlab, ylab = ylab, ylim = c(0, top * 1.15))
  lines(c(0, K), c(0, K), lty = 3, col = "grey50")
  for (i in seq_len(count)) {
    points <- reachable[[i]]
    if (nrow(points) == 0) next
    lines(c(points$n, K), c(points$b, points$b[nrow(points)]), type = "s", lwd = 2, col = colours[i],
          lty = dashes[i])
  }
  legend("topleft", x$table$shape, col = colours, lty = dashes, lwd = 2, bty = "n")
  invisible(x)
}

#' Find the sample size that reaches a power
#'
#' Calibrates the design, exactly, for every maximum number of patients K'
#' from 1 to `K` (the schedule applied to each), and finds the smallest K'
#' whose probability of stopping at the alternative reaches `power`, as the
#' command line's `--find-k POWER --alternative P1` does; then designs the
#' rule of the K' found (the most powerful K' when none reaches `power`).
#'
#' @inheritParams stopping_rule
#' @param K The largest number of patients to consider.
#' @param power The probability of stopping wanted at `alternative`, between 0
#'   and 1.
#' @param alternative The unacceptable event probability P1, above `theta`.
#' @return An object of class `contmon_search`: a list with `smallest_k` (the
#'   smallest K' reaching `power`, `NULL` when none does), `stable_k` (the
#'   smallest from which every larger K' up to `K` reaches it, or `NULL`),
#'   `best_k` (the K' of the highest power), `power_target`, `search` (a data
#'   frame of `K`, `constant`, `phi_star`, `power`, `mean_n_theta`,
#'   `mean_n_alternative`, a row per K') and `rule`, the `contmon_rule` of the
#'   K' reported. `print()` shows the command line's search and the rule.
#' @examples
#' found <- find_sample_size(40, 0.2, 0.1, power = 0.5, alternative = 0.4, cohort = 5)
#' found$smallest_k
#' found
#' @export
find_sample_size <- function(K, theta, phi, power, alternative, shape = "pocock", looks = NULL, cohort = NULL,
                             start = NULL, min_events = 1) {
  call <- sys.call()
  if (missing(power)) power <- NULL
  if (missing(alternative)) alternative <- NULL
  K <- check_number(K, "K", call)
  theta <- check_number(theta, "theta", call)
  phi <- check_number(phi, "phi", call)
  power <- check_number(power, "power", call)
  alternative <- check_number(alternative, "alternative", call)
  shape <- check_string(shape, "shape", call)
  if (!is.null(looks)) looks <- check_numbers(looks, "looks", call)
  cohort <- check_optional_number(cohort, "cohort", call)
  start <- check_optional_number(start, "start", call)
  min_events <- check_number(min_events, "min_events", call)
  result <- from_core(.cm_find_k(K, theta, phi, shape, if (is.null(looks)) numeric() else looks,
                                 na_if_null(cohort), na_if_null(start), min_events, alternative, power), call)
  result$rule <- finish_rule(result$rule, cohort, start)
  result$search <- as.data.frame(result$search)
  structure(result, class = "contmon_search")
}

#' @rdname find_sample_size
#' @param x A `contmon_search`.
#' @param ... Unused.
#' @export
print.contmon_search <- function(x, ...) {
  cat(x$text)
  print(x$rule)
  invisible(x)
}
