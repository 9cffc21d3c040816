# print() shows the command line's report from its first line to the sentence, without the boundary's
# line per look; summary() adds the table of operating characteristics.

test_that("print shows the design, PHI*, the decision table and the sentence as the program does", {
  report <- readLines(test_path("reference", "pocock_exact.txt"))
  first <- grep("^Method:", report)
  boundary <- grep("^The upper boundary is:", report)
  decisions <- grep("^Decision table:", report)
  table <- grep("^THETA +P\\(stop\\)", report)
  expected <- c(report[first:(boundary - 1)], report[decisions:(table - 1)])
  rule <- stopping_rule(40, 0.2, 0.1)
  printed <- capture.output(value <- print(rule))
  expect_identical(printed, expected)
  expect_identical(value, rule)
  capture.output(shown <- withVisible(print(rule)))
  expect_false(shown$visible)
  summarised <- capture.output(print(summary(rule)))
  definitions <- max(grep("^Definitions:", report))  # the table's, not the banner's
  expect_identical(summarised[seq_along(expected)], expected)
  expect_identical(summarised[length(expected) + seq_len(definitions + 6 - table + 1)],
                   report[table:(definitions + 6)])
})

test_that("the plots draw a rule that stops, one that never does, and its figures", {
  grDevices::pdf(NULL)
  on.exit(grDevices::dev.off())
  rule <- stopping_rule(40, 0.2, 0.1, cohort = 5)
  expect_identical(plot(rule), rule)
  never <- suppressWarnings(stopping_rule(3, 0.5, 0.01))
  expect_true(never$never_stops)
  expect_identical(plot(never), never)
  figures <- oc(rule, seq(0.6, 0.1, by = -0.1))
  expect_identical(plot(figures), figures)
})
