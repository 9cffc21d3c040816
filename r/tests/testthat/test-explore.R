# Comparisons of shapes, searches for K, fixed constants, accrual and the simulation's trials and seed give
# in R what the programs wrote (make_reference.sh), to the last digit.

designs <- list(
  constant_exact = quote(stopping_rule(40, 0.2, NULL, shape = "bayes:1,1", constant = 0.9)),
  constant_sim = quote(stopping_rule(30, 0.2, 0.05, constant = 0.05, alternative = 0.45, method = "simulation",
                                     trials = 20000, seed = 7)),
  accrual_exact = quote(stopping_rule(40, 0.2, 0.1, shape = "cc:1,1,0.4,0.5", alternative = 0.4, accrual = 365,
                                      window = 28)),
  accrual_sim = quote(stopping_rule(24, 0.25, 0.1, cohort = 4, accrual = 100, window = 10, method = "simulation",
                                    trials = 20000, seed = 7)),
  trials_seed_sim = quote(stopping_rule(40, 0.2, 0.1, shape = "obf", cohort = 5, method = "simulation",
                                        trials = 20000, seed = 7))
)
for (name in names(designs)) {
  test_that(paste("the program's report:", name), {
    skip_if_not_installed("jsonlite")
    expect_same_rule(eval(designs[[name]]), reference_json(name))
  })
}

test_that("a rule with accrual keeps its conduct figures at other rates, and print shows the program's report", {
  rule <- eval(designs$accrual_exact)
  again <- oc(rule, c(0.4, 0.3))
  expect_identical(again$mean_enrolled, rule$oc$mean_enrolled[match(c(0.4, 0.3), rule$oc$rate)])
  expect_true(all(again$mean_enrolled >= again$mean_n))
  expect_equal(vapply(again$p_stop_at_look, sum, 0), again$p_stop, tolerance = 1e-12)
  expect_identical(lengths(again$p_stop_at_look), rep(length(rule$boundary$n), 2L))
})

comparisons <- list(
  compare_exact = quote(compare_shapes(40, 0.2, 0.1, c("pocock", "obf", "bayes:1,1", "cc:1,1,0.4,0.5"),
                                       cohort = 5, alternative = 0.4)),
  compare_sim = quote(compare_shapes(30, 0.15, 0.1, c("wt:0.25", "maxsprt"), start = 10, min_events = 2,
                                     method = "simulation"))
)
for (name in names(comparisons)) {
  test_that(paste("the program's comparison:", name), {
    skip_if_not_installed("jsonlite")
    json <- reference_json(name)$designs
    designs <- eval(comparisons[[name]])
    expect_s3_class(designs, "contmon_comparison")
    expect_length(designs$rules, nrow(json))
    for (i in seq_len(nrow(json))) expect_same_rule(designs$rules[[i]], design_of(json, i))
    table <- as.data.frame(designs)
    expect_identical(table$shape, vapply(designs$rules, function(rule) rule$design$shape, ""))
    expect_identical(table$phi_star, json$phi_star)
    expect_identical(table$count_at_K, vapply(designs$rules, function(rule) rule$boundary$b[nrow(rule$boundary)], 0L))
  })
}

test_that("the comparison prints the program's text and its table holds the program's figures", {
  designs <- eval(comparisons$compare_exact)
  printed <- capture.output(print(designs))
  report <- readLines(test_path("reference", "compare_exact.txt"))
  first <- match("Method: exact calculation", report)
  expect_identical(printed, report[first:(first + length(printed) - 1)])
  rows <- grep("^(pocock|obf|bayes:[0-9.,]+|cc:[0-9.,]+) +[0-9]", report, value = TRUE)
  cells <- strsplit(trimws(rows), " +")
  expect_identical(as.data.frame(designs)$shape, vapply(cells, `[`, "", 1))
  expect_identical(sprintf("%.3f", as.data.frame(designs)$power), vapply(cells, `[`, "", 4))
  expect_identical(sprintf("%.2f", as.data.frame(designs)$mean_n_alternative), vapply(cells, `[`, "", 6))
  grDevices::pdf(NULL)
  on.exit(grDevices::dev.off())
  expect_identical(plot(designs), designs)
})

searches <- list(
  find_k_exact = quote(find_sample_size(40, 0.2, 0.1, power = 0.5, alternative = 0.4, cohort = 5)),
  find_k_none_exact = quote(find_sample_size(20, 0.2, 0.05, power = 0.9, alternative = 0.3, shape = "obf"))
)
for (name in names(searches)) {
  test_that(paste("the program's search for K:", name), {
    skip_if_not_installed("jsonlite")
    json <- reference_json(name)
    found <- eval(searches[[name]])
    expect_s3_class(found, "contmon_search")
    for (key in c("smallest_k", "stable_k", "best_k", "power_target"))
      expect_identical(found[[key]], json[[key]], label = key)
    expect_identical(names(found$search), names(json$search))
    for (column in names(json$search))
      expect_identical(as.numeric(found$search[[column]]), as.numeric(json$search[[column]]), label = column)
    expect_same_rule(found$rule, json)
  })
}

test_that("the search prints the program's search and the rule of the K found", {
  found <- eval(searches$find_k_exact)
  printed <- capture.output(print(found))
  report <- readLines(test_path("reference", "find_k_exact.txt"))
  first <- grep("^Search for the sample size", report)
  last <- grep("^The report below is for K = 11[.]$", report)
  expect_identical(printed, c(report[first:last], capture.output(print(found$rule))))
})

test_that("bad values of the new arguments give the command line's message", {
  cases <- list(
    list(quote(stopping_rule(40, 0.2, 0.1, accrual = 365)),
         "--accrual needs --window TAU: patients enter over A time units and each outcome is known TAU after entry",
         "window"),
    list(quote(stopping_rule(40, 0.2, 0.1, window = 28)), "--window needs --accrual A", "accrual"),
    list(quote(stopping_rule(40, 0.2, 0.1, accrual = -1, window = 28)), "--accrual", "accrual"),
    list(quote(stopping_rule(40, 0.2, 0.1, alternative = 0.1)),
         "--alternative P1 = 0.1 is not above THETA = 0.2", "alternative"),
    list(quote(stopping_rule(40, 0.2, 0.1, alternative = 1.5)), "--alternative: ", "alternative"),
    list(quote(stopping_rule(40, 0.2, 0.1, trials = 20000)), "method = \"simulation\"", "trials"),
    list(quote(stopping_rule(40, 0.2, 0.1, method = "simulation", trials = 10)), "--trials '10'", "trials"),
    list(quote(stopping_rule(40, 0.2, 0.1, method = "simulation", seed = -1)), "--seed '-1'", "seed"),
    list(quote(stopping_rule(40, 0.2, NULL)), "invalid phi", "phi"),
    list(quote(stopping_rule(40, 0.2, NULL, constant = 1.5)), "1.5", "constant"),
    list(quote(stopping_rule(40, 0.2, 0.1, shape = "cc:1,1,0.1,0.5")), "P1", "shape"),
    list(quote(compare_shapes(40, 0.2, 0.1, "pocock")), "two shapes or more", "shapes"),
    list(quote(compare_shapes(40, 0.2, 0.1, c("pocock", "triangle"))), "triangle", "shape"),
    list(quote(find_sample_size(40, 0.2, 0.1, power = 1.2, alternative = 0.4)), "--find-k: ", "power"),
    list(quote(find_sample_size(40, 0.2, 0.1, power = 0.8, alternative = 0.2)), "is not above THETA", "alternative"),
    list(quote(find_sample_size(40, 0.2, 0.1, power = 0.8)), "invalid alternative", "alternative"))
  for (case in cases) {
    error <- tryCatch(eval(case[[1]]), error = identity)
    expect_s3_class(error, "contmon_error")
    expect_true(grepl(case[[2]], conditionMessage(error), fixed = TRUE),
                label = paste(deparse(case[[1]]), "->", conditionMessage(error)))
    expect_identical(error$field, case[[3]], label = deparse(case[[1]]))
  }
})
