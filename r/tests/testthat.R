library(testthat)
library(contmon)

test_check("contmon")
