#include "platform/spss/outputdoc/GraphicFiles.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <system_error>

#include "common/AtomicFile.h"
#include "common/EKorvanaError.h"
#include "common/MarkupText.h"
#include "platform/spss/outputdoc/DocumentModel.h"

namespace korvana::spss {

namespace {

/// What every standalone drawing begins with: how an earlier run's are told
/// from other files.
constexpr const char* kPrologue = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n<!-- Korvana drawing -->\n";

std::string slug(const std::string& words) {
  std::string text;
  for (const unsigned char c : words) {
    if (std::isalnum(c)) text += static_cast<char>(std::tolower(c));
    else if (!text.empty() && text.back() != '-') text += '-';
  }
  while (!text.empty() && text.back() == '-') text.pop_back();
  return text;
}

/// The element with the namespace it needs standing alone and its title as
/// the first child.
std::string standalone(const std::string& svg, const std::string& title) {
  const std::size_t open = svg.find("<svg");
  const std::size_t end = open == std::string::npos ? std::string::npos : svg.find('>', open);
  if (end == std::string::npos) throw EKorvanaError("The drawing '" + title + "' is not an SVG element");
  std::string start = svg.substr(open, end - open);
  const bool selfClosing = !start.empty() && start.back() == '/';
  if (selfClosing) start.pop_back();
  if (start.find("xmlns=") == std::string::npos) start.insert(4, " xmlns=\"http://www.w3.org/2000/svg\"");
  std::string text = kPrologue + start + "><title>" + escapeMarkup(title) + "</title>";
  text += selfClosing ? "</svg>" : svg.substr(end + 1);
  return text + "\n";
}

}  // namespace

std::vector<GraphicFile> standaloneGraphics(const DocumentModel& document) {
  std::vector<GraphicFile> files;
  std::string heading;  // the nearest heading that names a solution, hierarchy or the tree
  for (std::size_t i = 0; i < document.count(); ++i) {
    const OutputItem& item = document.item(i);
    if (item.kind == ItemKind::heading) {
      heading = item.level >= 3 ? item.label : std::string();
      continue;
    }
    if (item.kind != ItemKind::graphic) continue;
    const std::string title = heading.empty() ? item.label : heading + ": " + item.label;
    char number[16];
    std::snprintf(number, sizeof number, "%02zu", files.size() + 1);
    files.push_back({std::string(number) + "-" + slug(title) + ".svg", title, standalone(item.svg, title)});
  }
  return files;
}

std::vector<std::filesystem::path> saveGraphics(const DocumentModel& document, const std::filesystem::path& folder) {
  const std::vector<GraphicFile> files = standaloneGraphics(document);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) throw EKorvanaError("The folder '" + folder.string() + "' could not be created: " + error.message());
  std::vector<std::filesystem::path> written;
  std::set<std::string> names;
  for (const GraphicFile& file : files) {
    replaceFileAtomically(folder / file.name, file.content, documentFileMode);
    written.push_back(folder / file.name);
    names.insert(file.name);
  }
  // An earlier run's drawings would pass for this run's.
  static const std::regex pattern("[0-9]{2,}-[a-z0-9-]*\\.svg");
  const std::string prologue = kPrologue;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (names.count(name) || !std::regex_match(name, pattern) || !entry.is_regular_file(error)) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::string start(prologue.size(), '\0');
    in.read(start.data(), static_cast<std::streamsize>(start.size()));
    if (in && start == prologue) std::filesystem::remove(entry.path(), error);
  }
  return written;
}

}  // namespace korvana::spss
