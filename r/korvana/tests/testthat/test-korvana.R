# The R package against hclust and korvana-batch.

clustersOf <- function(merge) {
  members <- list()
  for (t in seq_len(nrow(merge))) {
    part <- function(j) if (j < 0) -j else members[[j]]
    members[[t]] <- sort(c(part(merge[t, 1]), part(merge[t, 2])))
  }
  sort(vapply(members, paste, "", collapse = ","))
}

test_that("as.hclust has hclust's clusters on tie-free data for the shared methods", {
  set.seed(3)
  x <- matrix(rnorm(25 * 3), ncol = 3)
  d <- dist(x)
  # Ours on squared Euclidean distances for the geometric methods, as hclust's
  # centroid, median and ward.D take them.
  for (m in list(c("average", "average"), c("single", "single"), c("complete", "complete"),
                 c("centroid", "centroid"), c("median", "median"), c("ward", "ward.D"))) {
    input <- if (m[1] %in% c("centroid", "median", "ward")) d^2 else d
    ours <- as.hclust(korvana(input, m[1], permutations = 2, seed = 1))
    theirs <- hclust(input, m[2])
    expect_identical(clustersOf(ours$merge), clustersOf(theirs$merge), info = m[1])
    expect_equal(sort(ours$height), sort(theirs$height),
                 tolerance = 1e-9, info = m[1])
  }
})

test_that("cutree, plot and dendextend take the hclust", {
  k <- korvana(dist(USArrests), "average", 20, seed = 2)
  h <- as.hclust(k)
  expect_identical(as.vector(table(cutree(h, 4))), as.vector(table(cutree(hclust(dist(USArrests), "average"), 4))))
  expect_identical(names(cutree(h, 2)), rownames(USArrests))
  expect_silent({ pdf(NULL); plot(h); dev.off() })
  if (requireNamespace("dendextend", quietly = TRUE))
    expect_equal(dendextend::nleaves(as.dendrogram(h)), 50)
  if (requireNamespace("ape", quietly = TRUE))
    expect_equal(ape::Ntip(ape::as.phylo(k)), 50)
  expect_output(print(k), "Verdict|permutations gave")
  expect_output(print(summary(k)), "Kept solutions")
})

test_that("the results are korvana-batch's", {
  batch <- Sys.getenv("KORVANA_BATCH")
  skip_if(batch == "" || !requireNamespace("jsonlite", quietly = TRUE))
  set.seed(8)
  x <- matrix(sample(1:3, 24 * 3, replace = TRUE), ncol = 3, dimnames = list(NULL, c("a", "b", "c")))
  folder <- tempfile()
  dir.create(folder)
  write.csv(data.frame(name = sprintf("r%02d", 1:24), x), file.path(folder, "likert.csv"), row.names = FALSE,
            quote = FALSE)
  stem <- file.path(folder, "likert")
  status <- system2(batch, c("--data", file.path(folder, "likert.csv"), "--variables", "'a TO c'", "--label", "name",
                             "--measure", "BLOCK", "--method", "average", "--permutations", "60", "--seed", "77",
                             "--support", "--membership", "2-4", "--format", "results", "--quiet", "--output", stem))
  expect_equal(status, 0)
  expected <- jsonlite::fromJSON(paste0(stem, ".results.json"), simplifyVector = TRUE)
  d <- dist(x, "manhattan")
  attr(d, "Labels") <- sprintf("r%02d", 1:24)
  k <- korvana(d, "average", 60, seed = 77, support = TRUE)
  p <- expected$permutations
  expect_identical(k$permutations$solution, p$solution)
  expect_identical(k$permutations$hierarchy, p$hierarchy)
  expect_identical(k$permutations$seed, as.integer(p$seed))
  expect_identical(k$permutations$normalized_ssdif, p$normalizedSSDif)
  expect_identical(k$permutations$cophenetic_correlation, p$copheneticCorrelation)
  expect_identical(vapply(k$solutions, `[[`, "", "id"), expected$solutions$solution)
  expect_identical(vapply(k$solutions, `[[`, "", "newick"), expected$solutions$newick)
  expect_identical(k$distinct_hierarchies$all$distinct, expected$distinctHierarchies$all$distinct)
  expect_identical(k$consensus$best$newick, expected$consensus$best$newick)
  # membership() is cutree-shaped and holds korvana-batch's Cluster Membership.
  cuts <- jsonlite::fromJSON(paste0(stem, ".results.json"), simplifyVector = FALSE)$membership$solutions[[1]]
  for (clusters in 2:4)
    expect_identical(membership(k, clusters), setNames(as.integer(unlist(cuts$clusters[[as.character(clusters)]])),
                                                       sprintf("r%02d", 1:24)))
  expect_identical(dim(membership(k, 2:4)), c(24L, 3L))
  expect_error(membership(k, 25), "cannot be cut into 25")
})

test_that("an interrupt cancels a long run and leaves R usable", {
  skip_on_os("windows")
  set.seed(1)
  d <- dist(matrix(rnorm(1500 * 3), ncol = 3))
  system(paste("(sleep 1; kill -INT", Sys.getpid(), ") &"))
  started <- Sys.time()
  outcome <- tryCatch(korvana(d, "average", 100000, seed = 1, jobs = 1), interrupt = function(e) "interrupted")
  expect_identical(outcome, "interrupted")
  expect_lt(as.numeric(difftime(Sys.time(), started, units = "secs")), 5)
  expect_equal(korvana(dist(1:3), "single", 2, seed = 1)$completed, 2)
})
