#include "platform/spss/outputdoc/DocumentFiles.h"

#include "common/AtomicFile.h"
#include "platform/spss/outputdoc/HtmlRenderer.h"
#include "platform/spss/outputdoc/JsonRenderer.h"
#include "platform/spss/outputdoc/TextRenderer.h"

namespace korvana::spss {

DocumentFiles DocumentFiles::fromStem(const std::filesystem::path& stem) {
  const std::string base = stem.string();
  return DocumentFiles{base + ".html", base + ".txt", base + ".json"};
}

void saveDocument(const DocumentModel& document, const DocumentFiles& files) {
  // New files take what the user's umask allows, as other documents do.
  if (!files.json.empty()) replaceFileAtomically(files.json, renderJson(document), documentFileMode);
  if (!files.text.empty()) replaceFileAtomically(files.text, renderText(document), documentFileMode);
  if (!files.html.empty()) replaceFileAtomically(files.html, renderHtml(document), documentFileMode);
}

}  // namespace korvana::spss
