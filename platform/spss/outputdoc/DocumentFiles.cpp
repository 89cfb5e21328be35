#include "platform/spss/outputdoc/DocumentFiles.h"

#include "common/AtomicFile.h"
#include "common/EKorvanaError.h"
#include "platform/spss/outputdoc/HtmlRenderer.h"
#include "platform/spss/outputdoc/JsonRenderer.h"
#include "platform/spss/outputdoc/TextRenderer.h"

namespace korvana::spss {

DocumentFiles DocumentFiles::fromStem(const std::filesystem::path& stem) {
  const std::string base = stem.string();
  return DocumentFiles{base + ".html", base + ".txt", base + ".json"};
}

void saveDocument(const DocumentModel& document, const DocumentFiles& files) {
  // Each rendering is written as it is made, never held whole; new files
  // take what the user's umask allows, as other documents do. One that
  // fails does not keep the others from being tried.
  std::string failures;
  const auto save = [&](const std::filesystem::path& path,
                        void (*render)(const DocumentModel&, const std::function<void(std::string_view)>&)) {
    if (path.empty()) return;
    try {
      replaceFileAtomically(path, [&](const ContentWriter& write) { render(document, write); }, documentFileMode);
    } catch (const std::exception& error) {
      failures += (failures.empty() ? "" : "\n") + std::string(error.what());
    }
  };
  save(files.json, renderJson);
  save(files.text, renderText);
  save(files.html, renderHtml);
  if (!failures.empty()) throw EKorvanaError(failures);
}

}  // namespace korvana::spss
