# Checks of R values before they reach the core, and the package's condition.
# The core checks ranges and says so in the command line's words; these
# checks catch what only R can give: NULL, NA, wrong types, vectors where one
# value belongs.

contmon_error <- function(message, field = NULL, call = NULL) {
  structure(class = c("contmon_error", "error", "condition"),
            list(message = message, call = call, field = field))
}

stop_contmon <- function(message, field, call) stop(contmon_error(message, field, call))

# The result of a core call, or its failure raised as a contmon_error.
from_core <- function(result, call) {
  # The core names THETA and PHI as the command line writes them; the field is the R argument.
  if (inherits(result, "contmon_failure"))
    stop_contmon(result$message, switch(result$field, THETA = "theta", PHI = "phi", result$field), call)
  result
}

describe <- function(x) {
  if (is.null(x)) return("NULL")
  if (!is.atomic(x)) return(paste("a", class(x)[1]))
  if (length(x) == 0L) return(paste("an empty", typeof(x), "vector"))
  if (length(x) > 1L) return(paste(length(x), "values"))
  if (is.na(x)) return("NA")
  paste("a", class(x)[1], "value")
}

check_number <- function(x, name, call) {
  if (!is.numeric(x) || is.factor(x) || length(x) != 1L || is.na(x))
    stop_contmon(sprintf("invalid %s: give one number, not %s", name, describe(x)), name, call)
  as.numeric(x)
}

# NULL stays NULL (the option is not given).
check_optional_number <- function(x, name, call) {
  if (is.null(x)) NULL else check_number(x, name, call)
}

check_numbers <- function(x, name, call) {
  if (!is.numeric(x) || is.factor(x) || length(x) == 0L || anyNA(x))
    stop_contmon(sprintf("invalid %s: give a vector of numbers without NA, not %s", name, describe(x)),
                 name, call)
  as.numeric(x)
}

# Whole numbers for the rule's looks and counts; the core checks their ranges.
check_whole_numbers <- function(x, name, call) {
  x <- check_numbers(x, name, call)
  if (any(!is.finite(x) | x != round(x) | abs(x) > 1e6))
    stop_contmon(sprintf("invalid %s: give whole numbers, as %s", name, if (name == "b") "c(2, 3, 3)" else "1:3"),
                 name, call)
  x
}

check_string <- function(x, name, call) {
  if (!is.character(x) || length(x) != 1L || is.na(x))
    stop_contmon(sprintf("invalid %s: give one text, not %s", name, describe(x)), name, call)
  x
}

check_method <- function(method, call) {
  if (is.character(method) && identical(method, c("exact", "simulation"))) return("exact")
  if (!is.character(method) || length(method) != 1L || is.na(method) ||
      !method %in% c("exact", "simulation"))
    stop_contmon(sprintf("invalid method: give \"exact\" or \"simulation\", not %s",
                         if (is.character(method) && length(method) == 1L && !is.na(method))
                           paste0("\"", method, "\"") else describe(method)),
                 "method", call)
  method
}

check_rule_object <- function(rule, call) {
  if (!inherits(rule, "contmon_rule"))
    stop_contmon(sprintf("invalid rule: give a rule made by stopping_rule() or read_boundary(), not %s",
                         describe(rule)), "rule", call)
  rule
}
