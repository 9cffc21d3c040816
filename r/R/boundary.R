#' Read and write the program's boundary file
#'
#' `write_boundary()` writes the rule as the command line writes its
#' boundary file (THETA, K, a line `-1 b` per patient, then PHI, PHI* and the
#' constant), so that the program evaluates it with `--evaluate FILE`.
#' `read_boundary()` reads such a file, or a file of lines `n b` (a look and
#' its count), as `--evaluate` reads it, and evaluates the rule exactly at the
#' default rates when the file gives THETA.
#'
#' @param rule A `contmon_rule`.
#' @param file The name of the file.
#' @return `write_boundary()`: `file`, invisibly. `read_boundary()`: a
#'   `contmon_rule` whose `constant` is `NA` (the rule was not searched) and
#'   whose `design` holds what the file says; without THETA in the file, its
#'   `phi_star` is `NA` and [oc()] needs rates.
#' @examples
#' rule <- stopping_rule(40, 0.2, 0.1, cohort = 5)
#' file <- tempfile(fileext = ".dat")
#' write_boundary(rule, file)
#' again <- read_boundary(file)
#' again$decision_table
#' all.equal(oc(again)$p_stop, oc(rule)$p_stop)
#' unlink(file)
#' @export
write_boundary <- function(rule, file) {
  call <- sys.call()
  check_rule_object(rule, call)
  file <- check_string(file, "file", call)
  text <- from_core(.cm_boundary_text(rule), call)
  connection <- file(file, "wb")
  on.exit(close(connection))
  writeBin(charToRaw(text), connection)
  invisible(file)
}

#' @rdname write_boundary
#' @export
read_boundary <- function(file) {
  call <- sys.call()
  file <- check_string(file, "file", call)
  if (!file.exists(file) || dir.exists(file))
    stop_contmon(sprintf("cannot read the rule file '%s': there is no such file", file), "rule file", call)
  bytes <- readBin(file, "raw", n = file.size(file))
  new_rule(from_core(.cm_read_boundary(file, bytes), call))
}
