#include "platform/spss/outputdoc/DocumentFiles.h"

#include "platform/spss/outputdoc/AtomicFile.h"
#include "platform/spss/outputdoc/HtmlRenderer.h"
#include "platform/spss/outputdoc/JsonRenderer.h"
#include "platform/spss/outputdoc/TextRenderer.h"

namespace korvana::spss {

DocumentFiles DocumentFiles::fromStem(const std::filesystem::path& stem) {
  const std::string base = stem.string();
  return DocumentFiles{base + ".html", base + ".txt", base + ".json"};
}

void saveDocument(const DocumentModel& document, const DocumentFiles& files) {
  if (!files.json.empty()) writeFileAtomically(files.json, renderJson(document));
  if (!files.text.empty()) writeFileAtomically(files.text, renderText(document));
  if (!files.html.empty()) writeFileAtomically(files.html, renderHtml(document));
}

}  // namespace korvana::spss
