// The files a headless run writes, checked against the files it reads before
// anything starts: no output may replace an input, whatever the spelling of
// its path.
#pragma once

#include <string>
#include <vector>

#include "platform/spss/outputdoc/DocumentFiles.h"

namespace korvana {

class ClusterAnalysis;

/// A file with what it is to the run ("the data file", "the HTML output").
struct RunFile {
  std::string path;
  std::string role;
};

/// The output document's files for a stem (".html", ".json" or ".txt" at
/// its end is dropped) and the formats chosen.
spss::DocumentFiles documentFilesOf(const std::string& stem, const std::vector<std::string>& formats);

/// STEM.results.json when "results" is among the formats, else empty.
std::string resultsFileOf(const std::string& stem, const std::vector<std::string>& formats);

/// STEM.trees.nwk when "trees" is among the formats, else empty.
std::string treesFileOf(const std::string& stem, const std::vector<std::string>& formats);

/// Writes each kept solution's tree as folder/solution-K.nwk (K from 1), and
/// the order-free tree, when there is one, as folder/order-free.nwk, making
/// the folder when it is missing; returns the files written.
std::vector<std::string> writeNewickFiles(const std::string& folder, const ClusterAnalysis& analysis);

/// The document files with their roles, for the check below.
std::vector<RunFile> documentRunFiles(const spss::DocumentFiles& files);

/// Throws EKorvanaError when an output is one of the inputs or another
/// output: the same file (device and inode), found through any path,
/// link or spelling. Outputs that do not exist yet are compared by their
/// resolved paths with each other.
void refuseOutputsThatAreInputs(const std::vector<RunFile>& outputs, const std::vector<RunFile>& inputs);

}  // namespace korvana
