// korvana-batch's command line: the files and formats of a run, and every
// setting of a request by name, each an option on top of a settings file (or
// of the defaults without one).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/AnalysisRequest.h"
#include "analysis/Variable.h"

namespace CLI {
class App;
}

namespace korvana {

struct BatchOptions {
  // Files and the run.
  std::string settings;
  std::string data;
  std::string output = "korvana-output";
  std::vector<std::string> formats{"html", "json", "results"};
  std::string newick;
  std::string saveSettings;
  std::string listVariables;
  bool dryRun = false;
  bool quiet = false;
  int jobs = 1;

  // The request by name; each overrides its key of the settings file.
  std::optional<std::string> method;
  std::optional<int> permutations;
  std::optional<long long> seed;
  std::optional<bool> identity;
  std::optional<std::string> matrix;
  std::optional<std::string> variables;
  std::optional<std::string> label;
  std::optional<std::string> cluster;
  std::optional<std::string> measure;
  std::optional<int> power;
  std::optional<int> root;
  std::optional<long long> present;
  std::optional<long long> absent;
  std::optional<std::string> standardize;
  std::optional<std::string> standardizeBy;
  std::optional<std::string> transform;
  std::optional<std::string> print;
  std::optional<std::string> fitTable;
  bool support = false;
  std::optional<std::string> solutions;
  std::optional<long long> untilStable;
  std::optional<long long> reproduce;
  bool orderFree = false;

  /// True when an option sets part of the request.
  bool setsRequest() const;
};

/// Declares every option, grouped by topic, with `options` receiving them.
void defineOptions(CLI::App& cli, BatchOptions& options);

/// Writes the options that set the request into it. Throws EKorvanaError
/// listing, one per line, every value no setting can take, each naming the
/// option, the value and what is allowed. The shared instances must have
/// been made (measure and method names come from their lists).
void applyRequestOptions(const BatchOptions& options, AnalysisRequest& request);

/// "x1, x2 TO x5, y": the names, with a range "A TO B" kept as one item.
std::vector<std::string> splitVariableList(const std::string& text);

/// The cluster variables with each range "A TO B" replaced by the variables
/// of the dictionary from A to B in its order, and, with the data set, each
/// name found by findNamedVariable in any case (a CSV header as written, a
/// name in other capitals) replaced by the variable's name. Throws EKorvanaError naming the range when A or B is
/// missing or B comes before A, or, without the data set (`haveData` false),
/// when there is a range at all.
std::vector<std::string> expandVariableRanges(const std::vector<std::string>& items,
                                              const std::vector<Variable>& dictionary, bool haveData);

/// The request in words, one setting a line, for --dry-run.
std::string describeRequest(const AnalysisRequest& request);

}  // namespace korvana
