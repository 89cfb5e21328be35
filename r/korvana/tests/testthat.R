library(testthat)
library(korvana)
test_check("korvana")
