#' Clusters a dist once per random permutation of its objects.
#'
#' d: a dist (labels from its Labels attribute) of dissimilarities, or of
#' similarities with similarity = TRUE. method: "average" (between groups),
#' "within", "single", "complete", "centroid", "median" or "ward".
#' seed: the start seed (NULL takes the clock's seconds; the result's $seed
#' says which). identity: the first permutation is the given order. jobs:
#' permutations at once (NULL: one per hardware thread). support: each kept
#' solution carries the support of its clusters. solutions: "orders" or
#' "hierarchies" (one solution per hierarchy). order_free: the order-free
#' tree as well. Objects are numbered from 1.
#'
#' The result, of class "korvana": $permutations (a data.frame: permutation,
#' seed (NA for the identity), solution, ssdif, normalized_ssdif,
#' cophenetic_correlation, hierarchy), $solutions (the kept solutions, each
#' with its schedule, fit, trees and support), $distinct_solutions,
#' $distinct_hierarchies, $consensus and $verdict. as.hclust(k, which = 1)
#' and ape::as.phylo(k, which = 1) give a kept solution's tree.
korvana <- function(d, method = "average", permutations = 1000, seed = NULL, identity = TRUE,
                    jobs = NULL, support = FALSE, solutions = "orders", order_free = FALSE,
                    similarity = FALSE) {
  if (!inherits(d, "dist")) stop("d must be a dist object (see stats::dist or stats::as.dist)")
  if (!is.numeric(permutations) || length(permutations) != 1 || permutations != round(permutations))
    stop("permutations must be one whole number")
  labels <- attr(d, "Labels")
  if (is.null(labels)) labels <- character(0)
  result <- korvana_run(as.numeric(d), isTRUE(similarity), as.character(labels), as.character(method),
                        as.integer(permutations), if (is.null(seed)) NULL else as.numeric(seed),
                        isTRUE(identity), if (is.null(jobs)) 0L else as.integer(jobs), isTRUE(support),
                        as.character(solutions), isTRUE(order_free))
  result$labels <- if (length(labels) > 0) as.character(labels) else NULL
  result$call <- match.call()
  class(result) <- "korvana"
  result
}

#' The hclust merge matrix of a schedule whose stages name each cluster by
#' its lowest object (from 1): singletons negative, the cluster of stage j
#' as j, the lower first.
hclustMerge <- function(cluster1, cluster2, n) {
  id <- -seq_len(n)
  merge <- matrix(0L, nrow = length(cluster1), ncol = 2)
  for (t in seq_along(cluster1)) {
    pair <- c(id[cluster1[t]], id[cluster2[t]])
    merge[t, ] <- if (all(pair < 0)) pair[order(-pair)] else sort(pair)
    id[cluster1[t]] <- t
  }
  merge
}

#' A kept solution as an hclust: merge matrix, height (the fitting height:
#' the coefficient, for Ward's method the merge's own value), order, labels.
as.hclust.korvana <- function(x, which = 1, ...) {
  if (which < 1 || which > length(x$solutions)) stop("which must be from 1 to ", length(x$solutions))
  s <- x$solutions[[which]]
  tree <- list(merge = hclustMerge(s$cluster1, s$cluster2, x$objects), height = s$height, order = s$order,
               labels = x$labels, method = x$method, call = x$call, dist.method = NULL)
  class(tree) <- "hclust"
  tree
}

#' A kept solution as an ape phylo, read from its Newick tree (branch
#' lengths from the coefficients, support labels in whole percent); with
#' hierarchy = TRUE its hierarchy, multifurcations included.
as.phylo.korvana <- function(x, which = 1, hierarchy = FALSE, ...) {
  if (which < 1 || which > length(x$solutions)) stop("which must be from 1 to ", length(x$solutions))
  s <- x$solutions[[which]]
  tree <- ape::read.tree(text = if (hierarchy) s$hierarchy_newick else s$newick)
  # Leaf names with blanks or Newick's own characters are written as %XX.
  tree$tip.label <- vapply(tree$tip.label, utils::URLdecode, "", USE.NAMES = FALSE)
  tree
}

#' The cluster (1 ... k) of every object when kept solution `which` is cut
#' into k clusters (the partition its first n - k merges leave, clusters
#' numbered by their first object, as korvana-batch's Cluster Membership
#' table gives it): like cutree, a vector named by the labels, or for several
#' k a matrix with a column per k.
membership <- function(x, k, which = 1) {
  if (which < 1 || which > length(x$solutions)) stop("which must be from 1 to ", length(x$solutions))
  s <- x$solutions[[which]]
  one <- function(clusters) {
    m <- korvana_membership(as.integer(s$cluster1 - 1L), as.integer(s$cluster2 - 1L), as.integer(clusters))
    if (!is.null(x$labels)) names(m) <- x$labels
    m
  }
  if (length(k) == 1) return(one(k))
  m <- vapply(k, one, integer(x$objects))
  colnames(m) <- as.character(k)
  if (!is.null(x$labels)) rownames(m) <- x$labels
  m
}

print.korvana <- function(x, ...) {
  cat("Korvana:", x$method, "linkage of", x$objects, "objects,", x$completed, "permutations from seed",
      x$seed, "\n")
  best <- x$solutions[[1]]
  cat("Best fit: normalized SSDif", format(best$normalized_ssdif, digits = 13), "by", length(x$solutions),
      "kept solution(s); cophenetic correlation", format(best$cophenetic_correlation, digits = 6), "\n")
  cat("Distinct merge orders:", x$distinct_solutions$all$distinct, " hierarchies:",
      x$distinct_hierarchies$all$distinct, "\n\n")
  cat(strwrap(x$verdict), sep = "\n")
  invisible(x)
}

summary.korvana <- function(object, ...) {
  kept <- do.call(rbind, lapply(object$solutions, function(s)
    data.frame(solution = s$id, permutation = s$permutation, seed = s$seed, hierarchy = s$hierarchy,
               normalized_ssdif = s$normalized_ssdif, cophenetic_correlation = s$cophenetic_correlation,
               stringsAsFactors = FALSE)))
  accounting <- function(a) c(a$permutations, a$distinct, a$seen_once, a$seen_twice, a$estimated_total)
  table <- rbind(accounting(object$distinct_solutions$all), accounting(object$distinct_solutions$best),
                 accounting(object$distinct_hierarchies$all), accounting(object$distinct_hierarchies$best))
  dimnames(table) <- list(c("merge orders, all", "merge orders, best", "hierarchies, all", "hierarchies, best"),
                          c("permutations", "distinct", "seen once", "seen twice", "estimated total"))
  structure(list(method = object$method, objects = object$objects, completed = object$completed,
                 kept = kept, accounting = table, verdict = object$verdict), class = "summary.korvana")
}

print.summary.korvana <- function(x, ...) {
  cat("Korvana:", x$method, "linkage of", x$objects, "objects,", x$completed, "permutations\n\n")
  cat("Verdict\n")
  cat(strwrap(x$verdict), sep = "\n")
  cat("\nDistinct trees\n")
  print(x$accounting)
  cat("\nKept solutions\n")
  shown <- utils::head(x$kept, 5)
  print(shown, row.names = FALSE)
  if (nrow(x$kept) > nrow(shown)) cat("... and", nrow(x$kept) - nrow(shown), "more\n")
  invisible(x)
}
