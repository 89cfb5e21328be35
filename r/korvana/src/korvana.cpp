// The R entry point of the package: the library's run on a dist's values,
// the results as R vectors and lists that R/korvana.R shapes. The run goes
// on a thread of its own (api::runWatched); R's thread checks for an
// interrupt every 50 ms and cancels the run when there is one.
#include <Rcpp.h>
#include <R_ext/Utils.h>

#include <korvana/korvana.h>

namespace api = korvana::api;

namespace {

void checkInterrupt(void*) { R_CheckUserInterrupt(); }

/// True when the user interrupted R, without leaving this frame.
bool interrupted() { return R_ToplevelExec(checkInterrupt, nullptr) == FALSE; }

Rcpp::List accountingOf(const api::Accounting& a) {
  return Rcpp::List::create(Rcpp::_["permutations"] = a.permutations, Rcpp::_["distinct"] = a.distinct,
                            Rcpp::_["seen_once"] = a.seenOnce, Rcpp::_["seen_twice"] = a.seenTwice,
                            Rcpp::_["estimated_total"] = a.estimatedTotal, Rcpp::_["curve"] = a.curve);
}

SEXP consensusOf(const api::Consensus& c) {
  if (!c.known) return R_NilValue;
  Rcpp::List clusters;
  for (const api::ConsensusCluster& cluster : c.clusters) {
    Rcpp::IntegerVector objects(cluster.objects.begin(), cluster.objects.end());
    clusters.push_back(Rcpp::List::create(Rcpp::_["objects"] = objects + 1, Rcpp::_["support"] = cluster.support));
  }
  return Rcpp::List::create(Rcpp::_["clusters"] = clusters, Rcpp::_["newick"] = c.newick);
}

SEXP seedOf(bool identity, std::int32_t seed) {
  return identity ? Rcpp::IntegerVector::create(NA_INTEGER) : Rcpp::IntegerVector::create(seed);
}

Rcpp::List solutionOf(const api::Solution& s, bool support) {
  Rcpp::IntegerVector cluster1(s.cluster1.begin(), s.cluster1.end()), cluster2(s.cluster2.begin(), s.cluster2.end());
  Rcpp::IntegerVector order(s.leafOrder().size());
  const std::vector<int> leaves = s.leafOrder();
  std::copy(leaves.begin(), leaves.end(), order.begin());
  Rcpp::List others;
  for (const api::SameHierarchy& other : s.others)
    others.push_back(Rcpp::List::create(Rcpp::_["id"] = other.id, Rcpp::_["permutation"] = other.permutation,
                                        Rcpp::_["seed"] = seedOf(other.identity, other.seed)));
  Rcpp::List shares = R_NilValue;
  if (support)
    shares = Rcpp::List::create(Rcpp::_["support_all"] = s.supportAll, Rcpp::_["support_best"] = s.supportBest,
                                Rcpp::_["hierarchy_support_all"] = s.hierarchySupportAll,
                                Rcpp::_["hierarchy_support_best"] = s.hierarchySupportBest);
  Rcpp::LogicalVector folded(s.folded.begin(), s.folded.end());
  return Rcpp::List::create(
      Rcpp::_["id"] = s.id, Rcpp::_["hierarchy"] = s.hierarchy, Rcpp::_["permutation"] = s.permutation,
      Rcpp::_["seed"] = seedOf(s.identity, s.seed), Rcpp::_["ssdif"] = s.ssdif,
      Rcpp::_["normalized_ssdif"] = s.normalizedSSDif, Rcpp::_["cophenetic_correlation"] = s.copheneticCorrelation,
      Rcpp::_["cluster1"] = cluster1 + 1, Rcpp::_["cluster2"] = cluster2 + 1, Rcpp::_["coefficient"] = s.coefficient,
      Rcpp::_["height"] = s.height, Rcpp::_["folded"] = folded, Rcpp::_["order"] = order + 1,
      Rcpp::_["support"] = shares, Rcpp::_["newick"] = s.newick, Rcpp::_["hierarchy_newick"] = s.hierarchyNewick,
      Rcpp::_["others"] = others);
}

api::Result runWatched(const api::Matrix& matrix, const api::Request& request) {
  bool canceled = false;
  api::Result result = api::runWatched(matrix, request, [&canceled] { return canceled = canceled || interrupted(); });
  if (canceled) throw Rcpp::internal::InterruptedException();
  return result;
}

}  // namespace

// [[Rcpp::export]]
Rcpp::List korvana_run(Rcpp::NumericVector values, bool similarity, Rcpp::CharacterVector labels, std::string method,
                       int permutations, Rcpp::Nullable<Rcpp::NumericVector> seed, bool identity, int jobs,
                       bool support, std::string solutions, bool orderFree) {
  std::vector<std::string> names;
  for (R_xlen_t i = 0; i < labels.size(); ++i) names.push_back(Rcpp::as<std::string>(labels[i]));
  api::Request request;
  try {
    const api::Matrix matrix =
        api::matrixFromCondensed(values.begin(), static_cast<std::size_t>(values.size()), similarity, names);
    if (solutions != "orders" && solutions != "hierarchies")
      throw api::InvalidInput("solutions must be \"orders\" or \"hierarchies\", not \"" + solutions + "\"");
    request.method = method;
    request.permutations = permutations;
    if (seed.isNotNull()) request.seed = static_cast<std::int64_t>(Rcpp::NumericVector(seed)[0]);
    request.identity = identity;
    request.jobs = jobs;
    request.support = support;
    request.solutions = solutions == "hierarchies" ? api::SolutionsShown::hierarchies : api::SolutionsShown::orders;
    request.orderFree = orderFree;
    const api::Result r = runWatched(matrix, request);

    const api::Permutations& p = r.permutations;
    Rcpp::IntegerVector seeds(p.seed.begin(), p.seed.end());
    for (std::size_t k = 0; k < p.identity.size(); ++k)
      if (p.identity[k]) seeds[static_cast<R_xlen_t>(k)] = NA_INTEGER;
    Rcpp::DataFrame table = Rcpp::DataFrame::create(
        Rcpp::_["permutation"] = p.permutation, Rcpp::_["seed"] = seeds, Rcpp::_["solution"] = p.solution,
        Rcpp::_["ssdif"] = p.ssdif, Rcpp::_["normalized_ssdif"] = p.normalizedSSDif,
        Rcpp::_["cophenetic_correlation"] = p.copheneticCorrelation, Rcpp::_["hierarchy"] = p.hierarchy,
        Rcpp::_["stringsAsFactors"] = false);
    Rcpp::List kept;
    for (const api::Solution& s : r.solutions) kept.push_back(solutionOf(s, support));
    SEXP orderFreeTree = R_NilValue;
    if (r.orderFree)
      orderFreeTree = Rcpp::List::create(Rcpp::_["solution"] = solutionOf(r.orderFree->binaryForm, false),
                                         Rcpp::_["newick"] = r.orderFree->newick,
                                         Rcpp::_["normalized_ssdif"] = r.orderFree->normalizedSSDif,
                                         Rcpp::_["hierarchy"] = r.orderFree->hierarchy);
    return Rcpp::List::create(
        Rcpp::_["method"] = r.method, Rcpp::_["similarity"] = r.similarity, Rcpp::_["objects"] = r.objects,
        Rcpp::_["seed"] = r.seed, Rcpp::_["permutations"] = table, Rcpp::_["solutions"] = kept,
        Rcpp::_["distinct_solutions"] = Rcpp::List::create(Rcpp::_["all"] = accountingOf(r.distinctSolutionsAll),
                                                           Rcpp::_["best"] = accountingOf(r.distinctSolutionsBest)),
        Rcpp::_["distinct_hierarchies"] =
            Rcpp::List::create(Rcpp::_["all"] = accountingOf(r.distinctHierarchiesAll),
                               Rcpp::_["best"] = accountingOf(r.distinctHierarchiesBest)),
        Rcpp::_["consensus"] = Rcpp::List::create(Rcpp::_["all"] = consensusOf(r.consensusAll),
                                                  Rcpp::_["best"] = consensusOf(r.consensusBest)),
        Rcpp::_["verdict"] = r.verdict, Rcpp::_["order_free"] = orderFreeTree, Rcpp::_["completed"] = r.completed);
  } catch (const api::InvalidInput& error) {
    Rcpp::stop(error.what());
  }
}

// The cluster (1 … k) of every object when a schedule (clusters named by
// their lowest object, from 0) is cut into k clusters.
// [[Rcpp::export]]
Rcpp::IntegerVector korvana_membership(Rcpp::IntegerVector cluster1, Rcpp::IntegerVector cluster2, int k) {
  api::Solution solution;
  solution.cluster1.assign(cluster1.begin(), cluster1.end());
  solution.cluster2.assign(cluster2.begin(), cluster2.end());
  try {
    const std::vector<int> clusters = solution.membership(k);
    return Rcpp::IntegerVector(clusters.begin(), clusters.end());
  } catch (const api::InvalidInput& error) {
    Rcpp::stop(error.what());
  }
}
