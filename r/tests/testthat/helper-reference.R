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
