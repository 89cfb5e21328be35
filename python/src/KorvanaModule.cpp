// The extension module korvana._korvana: the library's run and proximities
// on numpy arrays, the results as numpy arrays, dicts and lists that the
// package korvana (korvana/__init__.py) turns into its Result and Solution.
// The run goes on a thread of its own (api::runWatched) while the calling
// thread, which holds the GIL only to look, reports progress and watches for
// Ctrl-C.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <optional>

#include <korvana/korvana.h>

namespace py = pybind11;
namespace api = korvana::api;

namespace {

using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;

template <class T>
py::array_t<T> arrayOf(const std::vector<T>& values) {
  py::array_t<T> array(static_cast<py::ssize_t>(values.size()));
  std::copy(values.begin(), values.end(), array.mutable_data());
  return array;
}

py::array_t<bool> flagsOf(const std::vector<char>& values) {
  py::array_t<bool> array(static_cast<py::ssize_t>(values.size()));
  for (std::size_t k = 0; k < values.size(); ++k) array.mutable_data()[k] = values[k] != 0;
  return array;
}

py::dict accountingOf(const api::Accounting& a) {
  py::dict d;
  d["permutations"] = a.permutations;
  d["distinct"] = a.distinct;
  d["seen_once"] = a.seenOnce;
  d["seen_twice"] = a.seenTwice;
  d["estimated_total"] = a.estimatedTotal;
  d["curve"] = arrayOf(a.curve);
  return d;
}

py::object consensusOf(const api::Consensus& c) {
  if (!c.known) return py::none();
  py::list clusters;
  for (const api::ConsensusCluster& cluster : c.clusters) {
    py::dict d;
    d["objects"] = cluster.objects;
    d["support"] = cluster.support;
    clusters.append(d);
  }
  py::dict d;
  d["clusters"] = clusters;
  d["newick"] = c.newick;
  return d;
}

py::dict solutionOf(const api::Solution& s, bool support) {
  py::dict d;
  d["id"] = s.id;
  d["hierarchy"] = s.hierarchy;
  d["permutation"] = s.permutation;
  d["seed"] = s.identity ? py::object(py::none()) : py::object(py::int_(s.seed));
  d["ssdif"] = s.ssdif;
  d["normalized_ssdif"] = s.normalizedSSDif;
  d["cophenetic_correlation"] = s.copheneticCorrelation;
  const auto z = s.linkage();
  py::array_t<double> linkage({static_cast<py::ssize_t>(z.size()), py::ssize_t{4}});
  for (std::size_t t = 0; t < z.size(); ++t) std::copy(z[t].begin(), z[t].end(), linkage.mutable_data(t, 0));
  d["linkage"] = linkage;
  d["leaf_order"] = arrayOf(s.leafOrder());
  py::dict schedule;
  schedule["cluster1"] = arrayOf(s.cluster1);
  schedule["cluster2"] = arrayOf(s.cluster2);
  schedule["coefficient"] = arrayOf(s.coefficient);
  schedule["height"] = arrayOf(s.height);
  schedule["folded"] = flagsOf(s.folded);
  d["schedule"] = schedule;
  if (support) {
    py::dict shares;
    shares["support_all"] = arrayOf(s.supportAll);
    shares["support_best"] = arrayOf(s.supportBest);
    shares["hierarchy_support_all"] = arrayOf(s.hierarchySupportAll);
    shares["hierarchy_support_best"] = arrayOf(s.hierarchySupportBest);
    d["support"] = shares;
  } else {
    d["support"] = py::none();
  }
  d["newick"] = s.newick;
  d["hierarchy_newick"] = s.hierarchyNewick;
  py::list others;
  for (const api::SameHierarchy& other : s.others) {
    py::dict o;
    o["id"] = other.id;
    o["permutation"] = other.permutation;
    o["seed"] = other.identity ? py::object(py::none()) : py::object(py::int_(other.seed));
    others.append(o);
  }
  d["others"] = others;
  return d;
}

py::object orderFreeOf(const std::optional<api::OrderFreeTree>& tree) {
  if (!tree) return py::none();
  py::list merges;
  for (const api::OrderFreeMerge& merge : tree->merges) {
    py::dict m;
    m["clusters"] = merge.clusters;
    m["height"] = merge.height;
    m["range"] = py::make_tuple(merge.lowest, merge.highest);
    merges.append(m);
  }
  py::dict d;
  d["merges"] = merges;
  d["ssdif"] = tree->ssdif;
  d["normalized_ssdif"] = tree->normalizedSSDif;
  d["cophenetic_correlation"] = tree->copheneticCorrelation;
  d["hierarchy"] = tree->hierarchy;
  d["newick"] = tree->newick;
  py::dict binary = solutionOf(tree->binaryForm, false);
  d["linkage"] = binary["linkage"];
  return d;
}

py::dict resultOf(const api::Result& r, bool support) {
  py::dict d;
  d["method"] = r.method;
  d["similarity"] = r.similarity;
  d["objects"] = r.objects;
  d["seed"] = r.seed;
  const api::Permutations& p = r.permutations;
  py::dict permutations;
  permutations["permutation"] = arrayOf(p.permutation);
  permutations["identity"] = flagsOf(p.identity);
  permutations["seed"] = arrayOf(p.seed);
  permutations["solution"] = p.solution;
  permutations["ssdif"] = arrayOf(p.ssdif);
  permutations["normalized_ssdif"] = arrayOf(p.normalizedSSDif);
  permutations["cophenetic_correlation"] = arrayOf(p.copheneticCorrelation);
  permutations["hierarchy"] = p.hierarchy;
  d["permutations"] = permutations;
  py::list solutions;
  for (const api::Solution& s : r.solutions) solutions.append(solutionOf(s, support));
  d["solutions"] = solutions;
  d["distinct_solutions"] = py::dict(py::arg("all") = accountingOf(r.distinctSolutionsAll),
                                     py::arg("best") = accountingOf(r.distinctSolutionsBest));
  d["distinct_hierarchies"] = py::dict(py::arg("all") = accountingOf(r.distinctHierarchiesAll),
                                       py::arg("best") = accountingOf(r.distinctHierarchiesBest));
  d["consensus"] = py::dict(py::arg("all") = consensusOf(r.consensusAll), py::arg("best") = consensusOf(r.consensusBest));
  py::list records;
  for (const api::BestFitRecord& record : r.bestFit.records)
    records.append(py::dict(py::arg("permutation") = record.permutation,
                            py::arg("normalized_ssdif") = record.normalizedSSDif));
  d["best_fit"] = py::dict(py::arg("value") = r.bestFit.value,
                           py::arg("first_reached_at") = r.bestFit.firstReachedAt > 0
                                                             ? py::object(py::int_(r.bestFit.firstReachedAt))
                                                             : py::object(py::none()),
                           py::arg("reached_by") = r.bestFit.reachedBy, py::arg("records") = records);
  d["verdict"] = r.verdict;
  d["order_free"] = orderFreeOf(r.orderFree);
  d["order_free_problem"] = r.orderFreeProblem.empty() ? py::object(py::none()) : py::str(r.orderFreeProblem);
  d["completed"] = r.completed;
  d["canceled"] = r.canceled;
  return d;
}

/// Runs the request on a thread of its own. The calling thread takes the
/// GIL every 50 ms to hand the progress to `progress` and to check for
/// signals; a signal's exception (KeyboardInterrupt), or one the callback
/// raises, cancels the run and is raised once the run has stopped.
api::Result runWatched(const api::Matrix& matrix, api::Request request, const py::object& progress) {
  std::atomic<int> completed{0};
  request.progress = [&completed](int done, int) { completed.store(done); };
  PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
  int reported = 0;
  std::optional<api::Result> result;
  {
    py::gil_scoped_release released;
    result = api::runWatched(matrix, request, [&] {
      py::gil_scoped_acquire held;
      if (type == nullptr && PyErr_CheckSignals() != 0) PyErr_Fetch(&type, &value, &traceback);
      const int now = completed.load();
      if (type == nullptr && !progress.is_none() && now != reported) {
        reported = now;
        if (PyObject* answer = PyObject_CallFunction(progress.ptr(), "ii", now, request.permutations))
          Py_DECREF(answer);
        else
          PyErr_Fetch(&type, &value, &traceback);
      }
      return type != nullptr;
    });
  }
  if (type != nullptr) {
    PyErr_Restore(type, value, traceback);
    throw py::error_already_set();
  }
  return std::move(*result);
}

py::dict run(const Doubles& values, bool square, bool similarity, std::vector<std::string> labels,
             const std::string& method, int permutations, std::optional<std::int64_t> seed, bool identity, int jobs,
             bool support, const std::string& solutions, bool orderFree, const py::object& progress) {
  api::Matrix matrix;
  if (square) {
    if (values.ndim() != 2 || values.shape(0) != values.shape(1))
      throw api::InvalidInput("A square proximity matrix is needed");
    matrix = api::matrixFromSquare(values.data(), static_cast<std::size_t>(values.shape(0)), similarity, std::move(labels));
  } else {
    matrix = api::matrixFromCondensed(values.data(), static_cast<std::size_t>(values.size()), similarity, std::move(labels));
  }
  if (solutions != "orders" && solutions != "hierarchies")
    throw api::InvalidInput("solutions must be \"orders\" or \"hierarchies\", not \"" + solutions + "\"");
  api::Request request;
  request.method = method;
  request.permutations = permutations;
  request.seed = seed;
  request.identity = identity;
  request.jobs = jobs;
  request.support = support;
  request.solutions = solutions == "hierarchies" ? api::SolutionsShown::hierarchies : api::SolutionsShown::orders;
  request.orderFree = orderFree;
  const api::Result result = runWatched(matrix, request, progress);
  return resultOf(result, support);
}

py::array_t<double> proximities(const Doubles& data, const api::ProximitiesRequest& request) {
  if (data.ndim() != 2) throw api::InvalidInput("The data must be a two-dimensional array (rows are the objects)");
  const api::Matrix matrix = api::proximities(data.data(), static_cast<std::size_t>(data.shape(0)),
                                              static_cast<std::size_t>(data.shape(1)), request);
  return arrayOf(api::condensedOf(matrix));
}

}  // namespace

PYBIND11_MODULE(_korvana, m) {
  m.doc() = "The compiled core of korvana; use the functions of the package korvana.";
  py::register_exception<api::InvalidInput>(m, "InvalidInput", PyExc_ValueError);
  m.def("run", &run, py::arg("values"), py::arg("square"), py::arg("similarity"), py::arg("labels"),
        py::arg("method"), py::arg("permutations"), py::arg("seed"), py::arg("identity"), py::arg("jobs"),
        py::arg("support"), py::arg("solutions"), py::arg("order_free"), py::arg("progress"),
        "Runs the permutations on a condensed or square float64 array; returns the results as a dict.");
  m.def(
      "proximities",
      [](const Doubles& data, const std::string& measure, const std::string& standardize, const std::string& by,
         int power, int root, int present, int absent, bool absolute, bool reverse, bool rescale) {
        api::ProximitiesRequest request;
        request.measure = measure;
        request.standardize = standardize;
        request.by = by;
        request.power = power;
        request.root = root;
        request.present = present;
        request.absent = absent;
        request.absolute = absolute;
        request.reverse = reverse;
        request.rescale = rescale;
        return proximities(data, request);
      },
      py::arg("data"), py::arg("measure"), py::arg("standardize"), py::arg("by"), py::arg("power"), py::arg("root"),
      py::arg("present"), py::arg("absent"), py::arg("absolute"), py::arg("reverse"), py::arg("rescale"),
      "The condensed proximities of the rows.");
  m.def(
      "membership",
      [](std::vector<int> cluster1, std::vector<int> cluster2, int k) {
        api::Solution solution;
        solution.cluster1 = std::move(cluster1);
        solution.cluster2 = std::move(cluster2);
        return arrayOf(solution.membership(k));
      },
      py::arg("cluster1"), py::arg("cluster2"), py::arg("k"),
      "The cluster (1 .. k) of every object when the schedule is cut into k clusters.");
  m.def("method_keywords", &api::methodKeywords);
  m.def("measure_keywords", &api::measureKeywords);
  m.def("is_similarity", &api::givesSimilarities, py::arg("measure"), py::arg("reverse") = false,
        "Whether proximities() gives similarities for this measure.");
}
