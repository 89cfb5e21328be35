#include "batch/BatchOptions.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>

#include "analysis/DataDictionary.h"
#include "analysis/RequestTranslation.h"
#include "common/EKorvanaError.h"
#include "engine/ClusterMethod.h"
#include "engine/ClusterMethodFactory.h"
#include "engine/PermutationRun.h"
#include "proximity/BinaryMeasureFactory.h"
#include "proximity/CountsMeasureFactory.h"
#include "proximity/IntervalMeasureFactory.h"
#include "proximity/StandardizeMethodFactory.h"

namespace korvana {

namespace {

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string> splitCommas(const std::string& text) {
  std::vector<std::string> items;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    const std::string item = trim(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (!item.empty()) items.push_back(item);
    if (comma == std::string::npos) return items;
    start = comma + 1;
  }
}

std::string joined(const std::vector<std::string>& words, const char* separator = ", ") {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : separator) + word;
  return text;
}

/// A measure found by its keyword: its family (0 interval, 1 counts, 2
/// binary) and its position in the family's list.
struct MeasureName {
  std::int32_t family = -1;
  std::int32_t position = -1;
  const Measure* measure = nullptr;
};

std::vector<std::string> measureKeywords() {
  std::vector<std::string> words;
  for (const Measure* m : IntervalMeasureFactory::getIntervalMeasures()) words.push_back(m->getKeyword());
  for (const Measure* m : CountsMeasureFactory::getCountsMeasures()) words.push_back(m->getKeyword());
  for (const Measure* m : BinaryMeasureFactory::getBinaryMeasures()) words.push_back(m->getKeyword());
  return words;
}

MeasureName findMeasure(const std::string& name) {
  const std::string wanted = upper(name);
  const auto search = [&](auto list, std::int32_t family) -> MeasureName {
    for (std::size_t i = 0; i < list.size(); ++i)
      if (list[i]->getKeyword() == wanted) return {family, static_cast<std::int32_t>(i), list[i]};
    return {};
  };
  for (const MeasureName found : {search(IntervalMeasureFactory::getIntervalMeasures(), 0),
                                  search(CountsMeasureFactory::getCountsMeasures(), 1),
                                  search(BinaryMeasureFactory::getBinaryMeasures(), 2)})
    if (found.measure != nullptr) return found;
  return {};
}

/// The measure the request names.
const Measure* requestedMeasure(const AnalysisRequest& request) {
  const auto at = [](auto list, std::int32_t position) -> const Measure* {
    return position >= 0 && static_cast<std::size_t>(position) < list.size() ? list[static_cast<std::size_t>(position)]
                                                                            : nullptr;
  };
  switch (request.selectedMeasure) {
    case 0: return at(IntervalMeasureFactory::getIntervalMeasures(), request.intervalMeasure);
    case 1: return at(CountsMeasureFactory::getCountsMeasures(), request.countsMeasure);
    default: return at(BinaryMeasureFactory::getBinaryMeasures(), request.binaryMeasure);
  }
}

/// Standardization keywords as the option takes them: the command's own, and
/// RANGE1 for the range 0 to 1 (the command's RESCALE).
std::string standardizeWord(const std::string& keyword) { return keyword == "RESCALE" ? "RANGE1" : keyword; }

constexpr const char* kPrintItems[] = {"matrix", "fit", "order", "schedule", "dendrogram"};
constexpr const char* kTransforms[] = {"absolute", "reverse", "rescale"};

}  // namespace

bool BatchOptions::setsRequest() const {
  return method || permutations || seed || identity || matrix || variables || label || cluster || measure || power ||
         root || present || absent || standardize || standardizeBy || transform || print || fitTable || support ||
         solutions || untilStable || reproduce || orderFree;
}

std::vector<std::string> splitVariableList(const std::string& text) { return splitCommas(text); }

void defineOptions(CLI::App& cli, BatchOptions& options) {
  const auto text = [&](const char* names, std::optional<std::string>& target, const char* help,
                        const char* group) {
    return cli.add_option_function<std::string>(names, [&target](const std::string& v) { target = v; }, help)
        ->group(group);
  };
  const char* files = "Request and files";
  cli.add_option("-s,--settings", options.settings,
                 "a request in the desktop program's settings file (Korvana.ini); the options below override "
                 "its keys")
      ->check(CLI::ExistingFile)
      ->group(files);
  cli.add_option("-d,--data", options.data,
                 "the data set the statistics package opens (.sav, .por, .dta, .sas7bdat, .xpt, .csv)")
      ->check(CLI::ExistingFile)
      ->group(files);
  cli.add_option("-o,--output", options.output,
                 "where the output goes: OUTPUT.html, .json, .txt, .results.json, .trees.nwk")
      ->capture_default_str()
      ->group(files);
  cli.add_option("-f,--format", options.formats,
                 "what to save: html, json, text (the output document), results (OUTPUT.results.json, for "
                 "programs), trees (OUTPUT.trees.nwk: every permutation's hierarchy, a Newick line each); "
                 "default: html,json,results")
      ->check(CLI::IsMember({"html", "json", "text", "results", "trees"}))
      ->delimiter(',')
      ->group(files);
  cli.add_option("--newick", options.newick, "also write each kept tree as DIR/solution-K.nwk (Newick)")
      ->group(files);
  cli.add_option("--save-settings", options.saveSettings,
                 "write the whole request as a settings file the desktop program opens unchanged")
      ->group(files);

  const char* analysis = "The analysis";
  text("-m,--method", options.method, "average|within|single|complete|centroid|median|ward", analysis);
  cli.add_option_function<int>("-p,--permutations", [&options](int v) { options.permutations = v; },
                               "the number of permutations")
      ->group(analysis);
  auto* seed = cli.add_option_function<long long>("--seed", [&options](long long v) { options.seed = v; },
                                                  "a fixed start seed (without it, the request's seed type holds)")
                   ->group(analysis);
  auto* identity = cli.add_flag_callback("--identity", [&options] { options.identity = true; },
                                         "the first permutation is the objects in file order")
                       ->group(analysis);
  auto* noIdentity = cli.add_flag_callback("--no-identity", [&options] { options.identity = false; },
                                           "every permutation is drawn at random")
                         ->group(analysis)
                         ->excludes(identity);
  cli.add_option_function<long long>("--reproduce", [&options](long long v) { options.reproduce = v; },
                                     "cluster the one permutation whose Random Seed is SEED, as the run that "
                                     "showed it did (the same request otherwise)")
      ->group(analysis)
      ->excludes(seed)
      ->excludes(identity)
      ->excludes(noIdentity);
  cli.add_flag("--support", options.support,
               "cluster support: the verdict, the Distinct Solutions table, the consensus trees and each "
               "solution's Cluster Support table")
      ->group(analysis);
  cli.add_option_function<long long>("--until-stable", [&options](long long v) { options.untilStable = v; },
                                     "stop once neither the best fit nor the set of best-fitting hierarchies "
                                     "changed in the last N permutations (--permutations is then the most; 0: off)")
      ->group(analysis);
  text("--solutions", options.solutions,
       "orders|hierarchies: show every distinct merge order, or one solution per hierarchy (with the verdict)",
       analysis);
  cli.add_flag("--order-free", options.orderFree,
               "also the order-free tree: every tie joined in one merge, so one tree whatever the order of the "
               "objects, with its fit against the best-fitting permutations")
      ->group(analysis);

  const char* proximities = "Proximities";
  auto* matrix = text("--matrix", options.matrix, "analyze a proximity-matrix file", proximities);
  text("--variables", options.variables,
       "the cluster variables of --data, e.g. x1,x2,x5 or \"x1 TO x9\" (a range in the data set's order)",
       proximities)
      ->excludes(matrix);
  text("--label", options.label, "the string variable that labels the cases", proximities);
  text("--cluster", options.cluster, "cases|variables", proximities);
  text("--measure", options.measure,
       "a PROXIMITIES keyword: EUCLID, SEUCLID, COSINE, CORRELATION, CHEBYCHEV, BLOCK, MINKOWSKI, POWER; "
       "CHISQ, PH2; BEUCLID, BSEUCLID, SIZE, PATTERN, VARIANCE, DISPER, BSHAPE, SM, PHI, LAMBDA, D, DICE, "
       "HAMANN, JACCARD, K1, K2, BLWMN, OCHIAI, RT, RR, SS1 to SS5, Y, Q (any case)",
       proximities);
  cli.add_option_function<int>("--power", [&options](int v) { options.power = v; },
                               "1 to 4, for MINKOWSKI and POWER")
      ->group(proximities);
  cli.add_option_function<int>("--root", [&options](int v) { options.root = v; }, "1 to 4, for POWER")
      ->group(proximities);
  cli.add_option_function<long long>("--present", [&options](long long v) { options.present = v; },
                                     "the value that means present, for binary measures")
      ->group(proximities);
  cli.add_option_function<long long>("--absent", [&options](long long v) { options.absent = v; },
                                     "the value that means absent, for binary measures")
      ->group(proximities);
  text("--standardize", options.standardize, "NONE|Z|RANGE|RANGE1|MAX|MEAN|SD", proximities);
  text("--standardize-by", options.standardizeBy, "variables|cases", proximities);
  text("--transform", options.transform, "absolute,reverse,rescale (any of them, or none)", proximities);

  const char* contents = "Output contents";
  text("--print", options.print,
       "what the output holds: matrix,fit,order,schedule,dendrogram (any of them, or none)", contents);
  text("--fit-table", options.fitTable,
       "save the permutation fit table as this file: FILE.sav (a data file) or FILE.csv", contents);

  const char* running = "Running";
  cli.add_option("-j,--jobs", options.jobs,
                 "permutations run at once, each on a thread of its own (default: the hardware threads, " +
                     std::to_string(options.jobs) + "); the results are the same for any number")
      ->check(CLI::Range(1, 4096))
      ->group(running);
  cli.add_flag("-n,--dry-run", options.dryRun,
               "print the request in words and the PROXIMITIES command, and run nothing")
      ->group(running);
  cli.add_flag("-q,--quiet", options.quiet, "no progress, no text output on standard output")->group(running);
  // For the shell's completion: the variable names of a data file.
  cli.add_option("--list-variables", options.listVariables)->group("");
}

void applyRequestOptions(const BatchOptions& options, AnalysisRequest& request) {
  std::vector<std::string> problems;
  const auto refuse = [&](const std::string& option, const std::string& value, const std::string& allowed) {
    problems.push_back(option + ": '" + value + "' cannot be used; allowed: " + allowed);
  };

  if (options.method) {
    const auto methods = ClusterMethodFactory::getClusterMethods();
    std::vector<std::string> words;
    bool found = false;
    for (std::size_t i = 0; i < methods.size(); ++i) {
      words.push_back(methods[i]->getKeyword());
      if (lower(*options.method) == methods[i]->getKeyword()) {
        request.clusterMethod = static_cast<std::int32_t>(i);
        found = true;
      }
    }
    if (!found) refuse("--method", *options.method, joined(words));
  }
  if (options.permutations) {
    if (*options.permutations < 1) refuse("--permutations", std::to_string(*options.permutations),
                                          "a whole number from 1 to 2147483647");
    else request.numberOfPermutations = *options.permutations;
  }
  if (options.seed) {
    if (*options.seed < INT32_MIN || *options.seed > INT32_MAX) {
      refuse("--seed", std::to_string(*options.seed), "a whole number from -2147483648 to 2147483647");
    } else {
      request.seed = static_cast<std::int32_t>(*options.seed);
      request.seedType = SeedType::custom;
    }
  }
  if (options.identity) request.firstPermutationIdentity = *options.identity;
  if (options.reproduce && (options.permutations || options.untilStable)) {
    problems.push_back(std::string("--reproduce clusters one permutation: it cannot be used with ") +
                       (options.permutations ? "--permutations" : "--until-stable"));
  } else if (options.reproduce) {
    // One permutation, drawn from the seed the generator held before it.
    if (*options.reproduce < INT32_MIN || *options.reproduce > INT32_MAX) {
      refuse("--reproduce", std::to_string(*options.reproduce), "a whole number from -2147483648 to 2147483647");
    } else {
      request.seed = static_cast<std::int32_t>(*options.reproduce);
      request.seedType = SeedType::custom;
      request.firstPermutationIdentity = false;
      request.numberOfPermutations = 1;
      request.stopWhenStable = 0;
    }
  }
  if (options.support) request.clusterSupport = true;
  if (options.untilStable) {
    if (*options.untilStable < 0 || *options.untilStable > INT32_MAX)
      refuse("--until-stable", std::to_string(*options.untilStable), "0 (off) or a whole number from 1 to 2147483647");
    else
      request.stopWhenStable = static_cast<std::int32_t>(*options.untilStable);
  }
  if (options.solutions) {
    const std::string value = lower(*options.solutions);
    if (value == "orders") request.solutionsShown = SolutionsShown::orders;
    else if (value == "hierarchies") request.solutionsShown = SolutionsShown::hierarchies;
    else refuse("--solutions", *options.solutions, "orders, hierarchies");
  }
  if (options.orderFree) request.orderFreeTree = true;

  if (options.matrix) {
    request.analysisType = AnalysisType::matrixFile;
    request.matrixFilename = *options.matrix;
  }
  if (options.variables) {
    request.analysisType = AnalysisType::data;
    request.clusterVariables = splitVariableList(*options.variables);
    if (request.clusterVariables.empty()) refuse("--variables", *options.variables, "one or more variable names");
  }
  if (options.label) request.labelVariable = *options.label;
  if (options.cluster) {
    const std::string value = lower(*options.cluster);
    if (value == "cases") request.clusterView = ClusterView::cases;
    else if (value == "variables") request.clusterView = ClusterView::variables;
    else refuse("--cluster", *options.cluster, "cases, variables");
  }
  if (options.measure) {
    const MeasureName found = findMeasure(*options.measure);
    if (found.measure == nullptr) {
      refuse("--measure", *options.measure, joined(measureKeywords()));
    } else {
      request.selectedMeasure = found.family;
      (found.family == 0 ? request.intervalMeasure : found.family == 1 ? request.countsMeasure
                                                                       : request.binaryMeasure) = found.position;
    }
  }
  const Measure* measure = requestedMeasure(request);
  const auto* interval = request.selectedMeasure == 0 ? dynamic_cast<const IntervalMeasure*>(measure) : nullptr;
  const std::string measureName = measure != nullptr ? measure->getKeyword() : std::string("?");
  if (options.power) {
    if (interval == nullptr || !interval->getUsesPower()) {
      refuse("--power", std::to_string(*options.power), "only with MINKOWSKI and POWER, not " + measureName);
    } else if (*options.power < 1 || *options.power > 4) {
      refuse("--power", std::to_string(*options.power), "1, 2, 3 or 4");
    } else {
      request.intervalMeasurePower = *options.power - 1;
    }
  }
  if (options.root) {
    if (interval == nullptr || !interval->getUsesRoot()) {
      refuse("--root", std::to_string(*options.root), "only with POWER, not " + measureName);
    } else if (*options.root < 1 || *options.root > 4) {
      refuse("--root", std::to_string(*options.root), "1, 2, 3 or 4");
    } else {
      request.intervalMeasureRoot = *options.root - 1;
    }
  }
  for (const auto& [option, value, field] :
       {std::tuple{"--present", options.present, &AnalysisRequest::binaryMeasurePresent},
        std::tuple{"--absent", options.absent, &AnalysisRequest::binaryMeasureAbsent}}) {
    if (!value) continue;
    if (request.selectedMeasure != 2) refuse(option, std::to_string(*value), "only with a binary measure, not " + measureName);
    else if (*value < INT32_MIN || *value > INT32_MAX)
      refuse(option, std::to_string(*value), "a whole number from -2147483648 to 2147483647");
    else request.*field = static_cast<std::int32_t>(*value);
  }
  if (options.standardize) {
    const auto methods = StandardizeMethodFactory::getStandardizeMethods();
    std::vector<std::string> words;
    bool found = false;
    const std::string wanted = upper(*options.standardize);
    for (std::size_t i = 0; i < methods.size(); ++i) {
      const std::string word = standardizeWord(methods[i]->getKeyword());
      words.push_back(word);
      if (wanted == word || wanted == methods[i]->getKeyword()) {
        request.standardiseMethod = static_cast<std::int32_t>(i);
        found = true;
      }
    }
    if (!found) refuse("--standardize", *options.standardize, joined(words));
  }
  if (options.standardizeBy) {
    const std::string value = lower(*options.standardizeBy);
    if (value == "variables") request.standardiseView = 1;
    else if (value == "cases") request.standardiseView = 0;
    else refuse("--standardize-by", *options.standardizeBy, "variables, cases");
  }
  if (options.transform) {
    bool flags[3] = {false, false, false};
    for (const std::string& item : splitCommas(lower(*options.transform))) {
      const auto at = std::find(std::begin(kTransforms), std::end(kTransforms), item);
      if (at != std::end(kTransforms)) flags[at - std::begin(kTransforms)] = true;
      else if (item != "none") refuse("--transform", item, "absolute, reverse, rescale, none");
    }
    request.absoluteValues = flags[0];
    request.changeSign = flags[1];
    request.rescale = flags[2];
  }
  if (options.print) {
    bool shown[5] = {false, false, false, false, false};
    for (const std::string& item : splitCommas(lower(*options.print))) {
      const auto at = std::find(std::begin(kPrintItems), std::end(kPrintItems), item);
      if (at != std::end(kPrintItems)) shown[at - std::begin(kPrintItems)] = true;
      else if (item != "none") refuse("--print", item, "matrix, fit, order, schedule, dendrogram, none");
    }
    request.proximityMatrix = shown[0];
    request.permutationFit = shown[1];
    request.objectOrder = shown[2];
    request.agglomerationSchedule = shown[3];
    request.dendrogram = shown[4];
  }
  if (options.fitTable) {
    request.savePermutationFitTable = !options.fitTable->empty();
    request.permutationFitTableFilename = *options.fitTable;
  }
  if (!problems.empty()) throw EKorvanaError(joined(problems, "\n"));
}

std::vector<std::string> expandVariableRanges(const std::vector<std::string>& items,
                                              const std::vector<Variable>& dictionary, bool haveData) {
  std::vector<std::string> names;
  for (const std::string& item : items) {
    const std::string upperItem = upper(item);
    const std::size_t to = upperItem.find(" TO ");
    if (to == std::string::npos) {
      // A header as written names the variable the package made of it.
      const Variable* variable = haveData ? findNamedVariable(dictionary, item, true) : nullptr;
      names.push_back(variable != nullptr ? variable->getName() : item);
      continue;
    }
    if (!haveData)
      throw EKorvanaError("--variables: '" + item + "' is a range of the data set's variables: give the data file "
                          "with --data");
    const std::string first = trim(item.substr(0, to));
    const std::string last = trim(item.substr(to + 4));
    const auto position = [&](const std::string& name) -> std::ptrdiff_t {
      const Variable* variable = findNamedVariable(dictionary, name, true);
      return variable != nullptr ? variable - dictionary.data() : -1;
    };
    const std::ptrdiff_t from = position(first), until = position(last);
    if (from < 0 || until < 0)
      throw EKorvanaError("--variables: '" + item + "': the data set has no variable '" + (from < 0 ? first : last) +
                          "'");
    if (until < from)
      throw EKorvanaError("--variables: '" + item + "': " + last + " comes before " + first + " in the data set");
    for (std::ptrdiff_t i = from; i <= until; ++i) names.push_back(dictionary[static_cast<std::size_t>(i)].getName());
  }
  return names;
}

std::string describeRequest(const AnalysisRequest& request) {
  std::string text;
  const auto line = [&](const char* what, const std::string& value) {
    text += std::string(what) + std::string(std::max<std::size_t>(1, 17 - std::string(what).size()), ' ') + value +
            "\n";
  };
  const auto methods = ClusterMethodFactory::getClusterMethods();
  const auto method = static_cast<std::size_t>(request.clusterMethod);
  line("method", method < methods.size() ? methods[method]->getName() + " (" + methods[method]->getKeyword() + ")"
                                         : "?");
  line("permutations", std::to_string(request.numberOfPermutations) +
                           (request.firstPermutationIdentity ? ", the first in file order" : ", all drawn at random"));
  if (request.stopWhenStable > 0)
    line("stop", "when the best fit and the best-fitting hierarchies did not change in " +
                     std::to_string(request.stopWhenStable) + " permutations");
  line("seed", request.seedType == SeedType::custom ? std::to_string(request.seed) : "from the clock");
  if (request.analysisType == AnalysisType::matrixFile) {
    line("proximities", "read from the matrix file " + request.matrixFilename);
  } else {
    line("proximities", "computed from the data by PROXIMITIES");
    line("variables", joined(request.clusterVariables));
    line("clustered", request.clusterView == ClusterView::cases ? "cases" : "variables");
    if (request.clusterView == ClusterView::cases && !request.labelVariable.empty())
      line("labels", request.labelVariable);
    const Measure* measure = requestedMeasure(request);
    std::string measureText = measure != nullptr ? measure->getName() + " (" + measure->getKeyword() + ")" : "?";
    const auto* interval = request.selectedMeasure == 0 ? dynamic_cast<const IntervalMeasure*>(measure) : nullptr;
    if (interval != nullptr && interval->getUsesPower())
      measureText += ", power " + std::to_string(request.intervalMeasurePower + 1);
    if (interval != nullptr && interval->getUsesRoot())
      measureText += ", root " + std::to_string(request.intervalMeasureRoot + 1);
    if (request.selectedMeasure == 2)
      measureText += ", present " + std::to_string(request.binaryMeasurePresent) + ", absent " +
                     std::to_string(request.binaryMeasureAbsent);
    line("measure", measureText);
    const auto standardize = StandardizeMethodFactory::getStandardizeMethods();
    const auto s = static_cast<std::size_t>(request.standardiseMethod);
    if (request.selectedMeasure != 2)
      line("standardize", s < standardize.size() ? standardize[s]->getName() + " (" +
                                                       standardizeWord(standardize[s]->getKeyword()) + "), by " +
                                                       (request.standardiseView == 1 ? "variables" : "cases")
                                                 : "?");
    std::vector<std::string> transforms;
    if (request.absoluteValues) transforms.push_back("absolute values");
    if (request.changeSign) transforms.push_back("change sign");
    if (request.rescale) transforms.push_back("rescale to 0-1");
    line("transform", transforms.empty() ? "none" : joined(transforms));
  }
  std::vector<std::string> shown;
  if (request.proximityMatrix && request.analysisType == AnalysisType::data) shown.push_back("proximity matrix");
  if (request.permutationFit) shown.push_back("permutation fit");
  if (request.objectOrder) shown.push_back("object order");
  if (request.agglomerationSchedule) shown.push_back("agglomeration schedule");
  if (request.dendrogram) shown.push_back("dendrogram");
  if (request.clusterSupport) shown.push_back("cluster support");
  if (request.solutionsShown == SolutionsShown::hierarchies) shown.push_back("one solution per hierarchy");
  if (request.orderFreeTree) shown.push_back("order-free tree");
  line("output", shown.empty() ? "each solution's fit" : "each solution's fit, " + joined(shown));
  line("fit table",
       request.savePermutationFitTable ? "saved to " + fitTableFileNameOf(request.permutationFitTableFilename) : "not saved");
  return text;
}

}  // namespace korvana
