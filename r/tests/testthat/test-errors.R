# Invalid arguments raise a contmon_error with the command line's message, and no value of any type
# reaches the core unchecked or ends the session.

test_that("an invalid design gives the command line's message", {
  designs <- reference_table("errors.tsv")
  messages <- reference_table("error_messages.tsv")
  expect_identical(designs$name, messages$name)
  for (i in seq_len(nrow(designs))) {
    error <- tryCatch(rule_of_case(designs[i, ]), error = identity)
    expect_s3_class(error, "contmon_error")
    expect_identical(conditionMessage(error), messages$message[i], label = designs$name[i])
  }
})

test_that("the error names the field and the call", {
  error <- tryCatch(stopping_rule(40, 0.2, 0.1, min_events = 50), contmon_error = identity)
  expect_identical(error$field, "min_events")
  expect_identical(error$call[[1]], as.name("stopping_rule"))
  fields <- vapply(list(quote(stopping_rule(40, 0.2, 0.1, min_events = 1.5)),
                        quote(stopping_rule(40, 0.2, 0.1, cohort = 0)),
                        quote(stopping_rule(40, 0.2, 0.1, start = 41)),
                        quote(stopping_rule(40, 0.2, 2)),
                        quote(stopping_rule(40, NULL, 0.1))),
                   function(call) tryCatch(eval(call), contmon_error = function(e) e$field), "")
  expect_identical(fields, c("min_events", "cohort", "looks", "phi", "theta"))
  expect_s3_class(tryCatch(evaluate_rule(c(2, 0), c(5, 10), 0.3), error = identity), "contmon_error")
  expect_error(evaluate_rule(c(2, 3), c(5, 4, 10), 0.3), "one stopping count for each look",
               class = "contmon_error")
  expect_error(evaluate_rule(c(2, 3, 4), c(5, 4, 10), 0.3), "must ascend", class = "contmon_error")
  expect_error(evaluate_rule(c(2, 3), c(5, 10)), "a plain rule holds no THETA", class = "contmon_error")
  expect_error(oc(stopping_rule(10, 0.3, 0.05), c(0.2, 1.5)), "1.5", class = "contmon_error")
})

bad_values <- list(null = NULL, na = NA, na_real = NA_real_, nan = NaN, negative = -1, zero = 0, inf = Inf,
                   minus_inf = -Inf, text = "a", pair = c(0.3, 0.4), empty = numeric(), list = list(1),
                   logical = TRUE, factor = factor("a"), K_256 = 256, huge = 1e10,
                   beyond_int = .Machine$integer.max + 1, fraction = 2.5)

rule <- stopping_rule(10, 0.3, 0.05)
file <- tempfile(fileext = ".dat")
write_boundary(rule, file)
entry_points <- list(
  stopping_rule = list(fun = stopping_rule, args = list(K = 10, theta = 0.3, phi = 0.05, shape = "obf",
                                                        looks = NULL, cohort = 2, start = 2, min_events = 1,
                                                        method = "exact"),
                       # the values with which the call still designs a rule
                       valid = list(looks = "null", cohort = "null", start = "null")),
  oc = list(fun = oc, args = list(rule = rule, rates = 0.4), valid = list(rates = c("null", "pair"))),
  evaluate_rule = list(fun = evaluate_rule, args = list(b = c(3, 4), looks = c(5, 10), rates = 0.3,
                                                        method = "exact"),
                       valid = list(rates = "pair")),
  conduct = list(fun = stopping_rule, args = list(K = 10, theta = 0.3, phi = 0.05, constant = 0.05,
                                                 alternative = 0.5, accrual = 10, window = 2),
                 valid = list(phi = "null", constant = "null", alternative = "null",
                              accrual = c("K_256", "huge", "beyond_int", "fraction"),
                              window = c("K_256", "huge", "beyond_int", "fraction"))),
  simulation = list(fun = stopping_rule, args = list(K = 10, theta = 0.3, phi = 0.05, method = "simulation",
                                                     trials = 1000, seed = 1),
                    valid = list(trials = "null", seed = c("null", "zero", "K_256"))),
  compare_shapes = list(fun = compare_shapes, args = list(K = 10, theta = 0.3, phi = 0.05, shapes = c("pocock", "obf"),
                                                          looks = NULL, cohort = 2, start = 2, min_events = 1,
                                                          alternative = 0.5, method = "exact"),
                        valid = list(looks = "null", cohort = "null", start = "null", alternative = "null")),
  find_sample_size = list(fun = find_sample_size, args = list(K = 10, theta = 0.3, phi = 0.05, power = 0.3,
                                                              alternative = 0.6, shape = "pocock", looks = NULL,
                                                              cohort = 2, start = 2, min_events = 1),
                          valid = list(looks = "null", cohort = "null", start = "null")),
  read_boundary = list(fun = read_boundary, args = list(file = file), valid = list()),
  write_boundary = list(fun = write_boundary, args = list(rule = rule, file = tempfile()),
                        valid = list(file = "text"))
)

test_that("every bad value of every argument gives a contmon_error or a valid result", {
  old <- setwd(tempdir())  # write_boundary(file = "a") writes there
  on.exit(setwd(old))
  for (name in names(entry_points)) {
    entry <- entry_points[[name]]
    for (argument in names(entry$args)) {
      for (value in names(bad_values)) {
        args <- entry$args
        args[argument] <- list(bad_values[[value]])
        outcome <- tryCatch({
          suppressWarnings(do.call(entry$fun, args))
          "valid"
        }, contmon_error = function(e) "contmon_error", error = function(e) conditionMessage(e))
        expected <- if (value %in% entry$valid[[argument]]) "valid" else "contmon_error"
        expect_identical(outcome, expected, label = paste0(name, "(", argument, " = ", value, ")"))
      }
    }
  }
})

test_that("a rule object that was tampered with is refused, not trusted", {
  broken <- rule
  broken$boundary$b[3] <- 0L
  expect_error(oc(broken, 0.3), "not at least 1", class = "contmon_error")
  broken <- rule
  broken$boundary$n <- rev(broken$boundary$n)
  expect_error(write_boundary(broken, tempfile()), "must ascend", class = "contmon_error")
  expect_error(read_boundary(tempfile()), "no such file", class = "contmon_error")
  garbled <- tempfile()
  writeLines(c("0.2", "40", "-1 x"), garbled)
  expect_error(read_boundary(garbled), garbled, fixed = TRUE, class = "contmon_error")
})
