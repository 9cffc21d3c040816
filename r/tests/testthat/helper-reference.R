# The designs of reference/cases.tsv and the programs' outputs for them (written by
# tests/make_reference.sh in the source tree).

reference_table <- function(name) {
  utils::read.delim(test_path("reference", name), colClasses = "character", quote = "")
}

reference_json <- function(name) {
  jsonlite::fromJSON(test_path("reference", paste0(name, ".json")), simplifyVector = TRUE)
}

optional <- function(text, convert = as.numeric) if (identical(text, "-")) NULL else convert(text)
number_list <- function(text) as.numeric(strsplit(text, ",", fixed = TRUE)[[1]])

# stopping_rule() for a row of cases.tsv or errors.tsv.
rule_of_case <- function(case) {
  stopping_rule(as.numeric(case$K), as.numeric(case$theta), as.numeric(case$phi), shape = case$shape,
                looks = optional(case$looks, number_list), cohort = optional(case$cohort),
                start = optional(case$start), min_events = as.numeric(case$min_events),
                method = if (is.null(case$method)) "exact" else case$method)
}

# Every figure of the JSON's oc table, the columns in the same order, to the last bit; p_stop_at_look is a
# list column of one vector per row.
expect_same_oc <- function(table, json_oc) {
  expect_s3_class(table, "contmon_oc")
  expect_identical(names(table), names(json_oc))
  # jsonlite makes a matrix of the per-look probabilities when every row has as many looks.
  if (is.matrix(json_oc$p_stop_at_look))
    json_oc$p_stop_at_look <- lapply(seq_len(nrow(json_oc$p_stop_at_look)), function(i) json_oc$p_stop_at_look[i, ])
  for (column in names(json_oc)) {
    if (is.list(json_oc[[column]])) {
      expect_identical(lapply(table[[column]], as.numeric), lapply(json_oc[[column]], as.numeric), label = column)
    } else {
      expect_identical(as.numeric(table[[column]]), as.numeric(json_oc[[column]]), label = column)
    }
  }
}

# Every key of the JSON's boundary: the looks, the counts, the observed rates and their intervals (NA for null).
expect_same_boundary <- function(boundary, json_boundary) {
  expect_identical(sort(names(boundary)), sort(names(json_boundary)))  # the JSON orders its keys by name
  expect_identical(boundary$n, as.integer(json_boundary$n))
  expect_identical(boundary$b, as.integer(json_boundary$b))
  for (column in c("observed_rate", "ci_low", "ci_high"))
    expect_identical(boundary[[column]], as.numeric(json_boundary[[column]]), label = column)
}

# Every key of one report of the programs' JSON that a rule carries, to the last bit.
expect_same_rule <- function(rule, json) {
  expect_s3_class(rule, "contmon_rule")
  expect_identical(rule$method, json$method)
  expect_identical(rule$arguments, json$design)
  expect_identical(rule$design$K, as.integer(json$inputs$K))
  expect_identical(rule$design$looks, as.integer(json$inputs$looks))
  expect_identical(rule$design$phi, json$inputs$phi)
  expect_identical(rule$design$alternative, json$inputs$alternative)
  expect_identical(rule$design$accrual, json$inputs$accrual$period)
  expect_identical(rule$design$window, json$inputs$accrual$window)
  expect_same_boundary(rule$boundary, json$boundary)
  expect_identical(as.list(rule$decision_table), lapply(as.list(json$decision_table), as.integer))
  for (key in c("phi_star", "constant", "phi_star_exact", "never_stops", "sentence", "trials", "seed", "within_phi"))
    expect_identical(rule[[key]], json[[key]], label = key)
  expect_identical(rule$constant_fixed, isTRUE(json$constant_fixed))
  if (is.null(json$neighbour)) expect_null(rule$neighbour) else expect_identical(rule$neighbour, json$neighbour)
  expect_identical(rule$theta_row, json$theta_row)
  expect_identical(rule$alternative_row, json$alternative_row)
  expect_same_oc(rule$oc, json$oc)
  expect_same_oc(oc(rule), json$oc)
}

# Design i of a comparison's JSON read by jsonlite (a data frame of designs) as reference_json() reads one
# report: nested data frames to lists, list columns to their element, null (NA alone) to NULL.
design_of <- function(designs, i) {
  row_of <- function(value) {
    if (is.data.frame(value)) return(lapply(value, row_of))
    value <- if (is.list(value)) value[[i]] else value[i]
    if (is.logical(value) && length(value) == 1L && is.na(value)) NULL else value
  }
  lapply(designs, row_of)
}
