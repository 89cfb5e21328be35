#include "batch/OutputFiles.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <set>
#include <utility>

#include "analysis/ClusterAnalysis.h"
#include "common/AtomicFile.h"
#include "common/EKorvanaError.h"
#include "output/Newick.h"

namespace korvana {

namespace {

/// The file's identity when it exists.
std::optional<std::pair<dev_t, ino_t>> identity(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return std::make_pair(status.st_dev, status.st_ino);
}

/// The stem without a rendering's extension at its end.
std::filesystem::path stemOf(const std::string& stem) {
  std::filesystem::path base(stem);
  if (base.extension() == ".html" || base.extension() == ".json" || base.extension() == ".txt")
    base.replace_extension();
  return base;
}

std::string resolved(const std::string& path) {
  std::error_code error;
  const auto canonical = std::filesystem::weakly_canonical(std::filesystem::absolute(path), error);
  return error ? path : canonical.string();
}

}  // namespace

spss::DocumentFiles documentFilesOf(const std::string& stem, const std::vector<std::string>& formats) {
  const std::filesystem::path base = stemOf(stem);
  const std::set<std::string> chosen(formats.begin(), formats.end());
  spss::DocumentFiles files;
  if (chosen.count("html")) files.html = base.string() + ".html";
  if (chosen.count("json")) files.json = base.string() + ".json";
  if (chosen.count("text")) files.text = base.string() + ".txt";
  return files;
}

std::string resultsFileOf(const std::string& stem, const std::vector<std::string>& formats) {
  if (std::find(formats.begin(), formats.end(), "results") == formats.end()) return {};
  return stemOf(stem).string() + ".results.json";
}

std::string treesFileOf(const std::string& stem, const std::vector<std::string>& formats) {
  if (std::find(formats.begin(), formats.end(), "trees") == formats.end()) return {};
  return stemOf(stem).string() + ".trees.nwk";
}

std::vector<std::string> writeNewickFiles(const std::string& folder, const ClusterAnalysis& analysis) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) throw EKorvanaError("The folder '" + folder + "' for the trees cannot be made: " + error.message());
  const std::optional<SupportReport>& support = analysis.getSupportReport();
  if (!support) throw EKorvanaError("The trees' support was not counted");
  std::vector<std::string> written;
  const auto& solutions = analysis.getSolutions();
  for (std::size_t k = 0; k < solutions.size(); ++k) {
    const std::string path = (std::filesystem::path(folder) / ("solution-" + std::to_string(k + 1) + ".nwk")).string();
    replaceFileAtomically(path, newickOf(*solutions[k], analysis.getMatrix(), support->solutions.at(k)) + "\n",
                          documentFileMode);
    written.push_back(path);
  }
  if (const OrderFreeTree* tree = analysis.getOrderFreeTree()) {
    const std::string path = (std::filesystem::path(folder) / "order-free.nwk").string();
    replaceFileAtomically(path, newickOf(*tree, analysis.getMatrix()) + "\n", documentFileMode);
    written.push_back(path);
  }
  return written;
}

std::vector<RunFile> documentRunFiles(const spss::DocumentFiles& files) {
  std::vector<RunFile> outputs;
  if (!files.html.empty()) outputs.push_back({files.html.string(), "the HTML output"});
  if (!files.json.empty()) outputs.push_back({files.json.string(), "the JSON output"});
  if (!files.text.empty()) outputs.push_back({files.text.string(), "the text output"});
  return outputs;
}

void refuseOutputsThatAreInputs(const std::vector<RunFile>& outputs, const std::vector<RunFile>& inputs) {
  for (std::size_t o = 0; o < outputs.size(); ++o) {
    const RunFile& output = outputs[o];
    const auto outputIdentity = identity(output.path);
    for (const RunFile& input : inputs) {
      if (input.path.empty()) continue;
      const auto inputIdentity = identity(input.path);
      if (outputIdentity && inputIdentity && *outputIdentity == *inputIdentity)
        throw EKorvanaError("'" + output.path + "', " + output.role + ", is " + input.role + " '" + input.path +
                            "'; writing it would destroy it: choose another name");
    }
    for (std::size_t other = 0; other < o; ++other) {
      const RunFile& earlier = outputs[other];
      const auto earlierIdentity = identity(earlier.path);
      const bool same = (outputIdentity && earlierIdentity) ? *outputIdentity == *earlierIdentity
                                                            : resolved(output.path) == resolved(earlier.path);
      if (same)
        throw EKorvanaError("'" + output.path + "' would be both " + earlier.role + " and " + output.role +
                            ": choose another name");
    }
  }
}

}  // namespace korvana
