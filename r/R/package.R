#' contmon: stopping rules for monitoring toxicity in a single-arm trial
#'
#' Designs the stopping rule of a trial that monitors a binary outcome after
#' every patient or every cohort, computes what it does at any event
#' probability, exactly or by simulation, and reads and writes the command
#' line's boundary file. The package runs the same core as the command-line
#' programs, in-process, and gives the same figures to the last digit.
#'
#' The main functions: [stopping_rule()], [oc()], [evaluate_rule()],
#' [write_boundary()] and [read_boundary()]. Invalid arguments raise an error
#' of class `contmon_error` with the command line's message.
#'
#' @keywords internal
#' @useDynLib contmon, .registration = TRUE
#' @importFrom Rcpp evalCpp
#' @importFrom graphics legend lines par plot points segments text
"_PACKAGE"
