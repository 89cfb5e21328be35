// The drawings of an output document as standalone SVG files, ready for a
// paper: an XML declaration, a title, a viewBox, generic font families.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace korvana::spss {

class DocumentModel;

struct GraphicFile {
  std::string name;     // "NN-words.svg": the drawing's place and what it shows
  std::string title;    // the drawing's label under the heading it belongs to
  std::string content;  // the whole file
};

/// Every graphic item in document order, each named by its number (from 01)
/// and its heading and label in lower case joined by "-" ("03-best-fit.svg",
/// "06-solution-2-dendrogram.svg"), its <title> the same words ("Solution 2:
/// Dendrogram").
std::vector<GraphicFile> standaloneGraphics(const DocumentModel& document);

/// Writes standaloneGraphics into the folder (created when missing), each
/// file replaced whole; drawings of an earlier run there that this one does
/// not have are removed (files named as above that begin as these do), other
/// files are left alone. Returns the paths written; EKorvanaError naming the
/// folder or file that could not be written.
std::vector<std::filesystem::path> saveGraphics(const DocumentModel& document, const std::filesystem::path& folder);

}  // namespace korvana::spss
