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
  /// A folder the run writes files of its own naming into (the Newick
  /// trees, solution-K.nwk), not a file.
  bool folder = false;
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
/// the folder when it is missing, and removes the files of that naming an
/// earlier run left beyond them (nothing else in the folder is touched), so
/// that the folder holds this run's trees only; returns the files written.
std::vector<std::string> writeNewickFiles(const std::string& folder, const ClusterAnalysis& analysis);

/// Whether a file name is one writeNewickFiles writes: "solution-K.nwk".
bool isNewickFileName(const std::string& name);

/// Throws EKorvanaError for an output that cannot be written where it is
/// asked for: an output stem that is a folder or ends in "/", a file whose
/// folder does not exist, a folder output that is a file.
void refuseUnwritableOutputs(const std::string& stem, const std::vector<RunFile>& outputs);

/// The document files with their roles, for the check below.
std::vector<RunFile> documentRunFiles(const spss::DocumentFiles& files);

/// Throws EKorvanaError when an output is one of the inputs or another
/// output: the same file (device and inode), found through any path,
/// link or spelling, or a file a folder output would write (a Newick folder
/// holding the settings file as solution-1.nwk). Outputs that do not exist
/// yet are compared by their resolved paths with each other.
void refuseOutputsThatAreInputs(const std::vector<RunFile>& outputs, const std::vector<RunFile>& inputs);

}  // namespace korvana
