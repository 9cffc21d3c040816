# Each design of reference/cases.tsv gives in R what the program printed as JSON, to the last digit.

cases <- reference_table("cases.tsv")

for (i in seq_len(nrow(cases))) {
  case <- cases[i, ]
  test_that(paste("the program's figures:", case$name), {
    skip_if_not_installed("jsonlite")
    json <- reference_json(case$name)
    warned <- NULL
    rule <- withCallingHandlers(rule_of_case(case), warning = function(w) {
      warned <<- conditionMessage(w)
      invokeRestart("muffleWarning")
    })
    expect_s3_class(rule, "contmon_rule")
    expect_identical(rule$method, json$method)
    expect_identical(rule$arguments, json$design)
    expect_identical(rule$design$K, as.integer(json$inputs$K))
    expect_identical(rule$design$looks, as.integer(json$inputs$looks))
    expect_identical(rule$design$min_events, as.integer(json$inputs$min_events))
    expect_same_boundary(rule$boundary, json$boundary)
    expect_identical(as.data.frame(rule), rule$boundary)
    if (length(json$decision_table) == 0) {
      expect_identical(nrow(rule$decision_table), 0L)
    } else {
      expect_identical(as.list(rule$decision_table), lapply(as.list(json$decision_table), as.integer))
    }
    expect_identical(rule$phi_star, json$phi_star)
    expect_identical(rule$phi_star_exact, json$phi_star_exact)
    expect_identical(rule$trials, json$trials)
    expect_identical(rule$seed, json$seed)
    expect_identical(rule$constant, json$constant)
    if (is.null(json$neighbour)) {
      expect_null(rule$neighbour)
    } else {
      expect_identical(rule$neighbour, list(constant = json$neighbour$constant, phi_star = json$neighbour$phi_star))
    }
    expect_identical(rule$never_stops, json$never_stops)
    expect_identical(!is.null(warned), json$never_stops)
    expect_identical(rule$sentence, json$sentence)
    if (case$rates == "-") {
      expect_same_oc(rule$oc, json$oc)
      expect_same_oc(oc(rule), json$oc)
    } else {
      expect_same_oc(oc(rule, number_list(case$rates)), json$oc)
    }
  })
}

test_that("the rows asked for are the default table's rows, in the order asked", {
  rule <- stopping_rule(40, 0.2, 0.1, cohort = 5)
  full <- oc(rule)
  picked <- oc(rule, c(0.5, 0.25, 0.2))
  expect_identical(as.list(picked), as.list(full[match(c(0.5, 0.25, 0.2), full$rate), ]), ignore_attr = TRUE)
  expect_identical(oc(rule, 0.35)$p_stop, evaluate_rule(rule$boundary$b, rule$boundary$n, 0.35)$p_stop)
})
