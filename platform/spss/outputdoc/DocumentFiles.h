// Saving an output document: its HTML page, its text rendering and its JSON
// model, each written atomically.
#pragma once

#include <filesystem>

namespace korvana::spss {

class DocumentModel;

struct DocumentFiles {
  std::filesystem::path html;
  std::filesystem::path text;
  std::filesystem::path json;

  /// <stem>.html, <stem>.txt and <stem>.json.
  static DocumentFiles fromStem(const std::filesystem::path& stem);
};

/// Renders the document and writes every file that has a path (an empty path
/// is skipped), each replaced whole (common/AtomicFile.h): an existing file
/// keeps its permissions, a new one gets 0666 less the umask, and a symbolic
/// link at a path is replaced, not followed. Every file is tried; throws
/// EKorvanaError naming every file that could not be written, one a line
/// (each is left as it was; the others stay written).
void saveDocument(const DocumentModel& document, const DocumentFiles& files);

}  // namespace korvana::spss
