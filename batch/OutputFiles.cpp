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

/// The folder a file is in ("." for a bare name).
std::string folderOf(const std::string& path) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

/// Whether two paths name the same file or folder: by identity when both
/// exist, else by their resolved paths.
bool samePlace(const std::string& a, const std::string& b) {
  const auto first = identity(a), second = identity(b);
  if (first && second) return *first == *second;
  return resolved(a) == resolved(b);
}

/// Whether the file is one a folder output would write.
bool writtenInto(const RunFile& folder, const std::string& path) {
  return isNewickFileName(std::filesystem::path(path).filename().string()) && samePlace(folderOf(path), folder.path);
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

bool isNewickFileName(const std::string& name) {
  const std::string prefix = "solution-", suffix = ".nwk";
  if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
    return false;
  const std::string number = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  return number[0] != '0' && number.find_first_not_of("0123456789") == std::string::npos;
}

std::vector<std::string> writeNewickFiles(const std::string& folder, const ClusterAnalysis& analysis) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) throw EKorvanaError("The folder '" + folder + "' for the trees cannot be made: " + error.message());
  const auto& solutions = analysis.getSolutions();
  const std::optional<SupportReport>& support = analysis.getSupportReport();
  if (!support && !solutions.empty()) throw EKorvanaError("The trees' support was not counted");
  std::vector<std::string> written;
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
  // Trees of an earlier run beyond this run's would pass for this run's.
  std::vector<std::filesystem::path> stale;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (!isNewickFileName(name) || entry.is_directory()) continue;
    const std::string number = name.substr(9, name.size() - 13);
    if (number.size() > 9 || std::stoul(number) > solutions.size()) stale.push_back(entry.path());
  }
  if (analysis.getOrderFreeTree() == nullptr && std::filesystem::is_regular_file(std::filesystem::path(folder) / "order-free.nwk"))
    stale.push_back(std::filesystem::path(folder) / "order-free.nwk");
  for (const auto& path : stale)
    if (!std::filesystem::remove(path, error) && error)
      throw EKorvanaError("The tree of an earlier run '" + path.string() + "' cannot be removed: " + error.message());
  return written;
}

void refuseUnwritableOutputs(const std::string& stem, const std::vector<RunFile>& outputs) {
  if (!stem.empty() && (stem.back() == '/' || std::filesystem::is_directory(stem)))
    throw EKorvanaError("--output: '" + stem + "' is a folder; give the output's file stem, such as '" +
                        (std::filesystem::path(stem) / "korvana-output").string() + "'");
  for (const RunFile& output : outputs) {
    if (output.folder) {
      if (std::filesystem::exists(output.path) && !std::filesystem::is_directory(output.path))
        throw EKorvanaError("'" + output.path + "', " + output.role + ", is a file, not a folder");
      continue;
    }
    const std::string folder = folderOf(output.path);
    if (!std::filesystem::is_directory(folder))
      throw EKorvanaError("'" + output.path + "', " + output.role + ", cannot be written: the folder '" + folder +
                          "' does not exist");
  }
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
      if (output.folder && writtenInto(output, input.path))
        throw EKorvanaError("'" + output.path + "', " + output.role + ", holds " + input.role + " '" + input.path +
                            "' under a name its trees are written to; writing them would destroy it: choose "
                            "another folder");
    }
    for (std::size_t other = 0; other < o; ++other) {
      const RunFile& earlier = outputs[other];
      const RunFile* folder = output.folder ? &output : earlier.folder ? &earlier : nullptr;
      const RunFile& file = output.folder ? earlier : output;
      if (folder != nullptr && !file.folder && writtenInto(*folder, file.path))
        throw EKorvanaError("'" + file.path + "' would be both " + file.role + " and a tree in " + folder->role +
                            " '" + folder->path + "': choose another name");
      if (samePlace(output.path, earlier.path))
        throw EKorvanaError("'" + output.path + "' would be both " + earlier.role + " and " + output.role +
                            ": choose another name");
    }
  }
}

}  // namespace korvana
