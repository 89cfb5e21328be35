#include "datafile/CaseTable.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <new>
#include <string_view>

#include "common/AtomicFile.h"
#include "common/EKorvanaError.h"
#include "platform/spssio/SavUtilities.h"

namespace korvana {

namespace {

constexpr int kFormatA = 1, kFormatF = 5;
constexpr int kMaxStringWidth = 255;

/// The shortest text that reads back as the same number.
std::string numberText(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value == 0.0 ? 0.0 : value);
  return std::string(buffer, result.ptr);
}

bool endsWithCsv(const std::string& name) {
  if (name.size() < 4) return false;
  std::string end = name.substr(name.size() - 4);
  for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return end == ".csv";
}

/// A field as comma-separated text: quoted when it holds a comma, a quote,
/// a line break or blanks at either end.
std::string csvField(std::string_view text) {
  const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) return std::string(text);
  std::string field = "\"";
  for (const char c : text) {
    if (c == '"') field += '"';
    field += c;
  }
  return field + '"';
}

}  // namespace

int decimalsOf(double value) {
  if (!std::isfinite(value)) return 0;
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const std::size_t point = text.find('.');
  return point == std::string_view::npos ? 0 : std::min(16, static_cast<int>(text.size() - point - 1));
}

void CaseTable::addVariable(CaseTableVariable variable) {
  const std::size_t values = variable.width == 0 ? variable.numbers.size() : variable.strings.size();
  if (values != caseCount_)
    throw EKorvanaError("The variable " + variable.name + " has " + std::to_string(values) + " values for " +
                        std::to_string(caseCount_) + " cases");
  variables_.push_back(std::move(variable));
}

bool CaseTable::hasVariable(const std::string& name) const {
  const auto upper = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
  };
  return std::any_of(variables_.begin(), variables_.end(),
                     [&](const CaseTableVariable& v) { return upper(v.name) == upper(name); });
}

void CaseTable::save(const std::string& fileName, const std::string& fileLabel) const {
  for (const CaseTableVariable& variable : variables_)
    if (variable.width < 0 || variable.width > kMaxStringWidth)
      throw EKorvanaError("'" + fileName + "' cannot hold the string variable " + variable.name + " of " +
                          std::to_string(variable.width) + " bytes: data files are written with strings of up to " +
                          std::to_string(kMaxStringWidth) + " bytes");
  if (endsWithCsv(fileName)) saveText(fileName);
  else saveData(fileName, fileLabel);
}

void CaseTable::saveText(const std::string& fileName) const {
  replaceFileAtomically(fileName, [&](const ContentWriter& write) {
    std::string line;
    for (std::size_t v = 0; v < variables_.size(); ++v) line += (v > 0 ? "," : "") + csvField(variables_[v].name);
    write(line + "\n");
    for (std::size_t c = 0; c < caseCount_; ++c) {
      line.clear();
      for (std::size_t v = 0; v < variables_.size(); ++v) {
        const CaseTableVariable& variable = variables_[v];
        if (v > 0) line += ',';
        if (variable.width > 0) line += csvField(variable.strings[c]);
        else if (!std::isnan(variable.numbers[c])) line += numberText(variable.numbers[c]);
      }
      write(line + "\n");
    }
  }, documentFileMode);
}

void CaseTable::saveData(const std::string& fileName, const std::string& fileLabel) const {
  const int handle = savOpenWrite(fileName);
  try {
    savSetFileLabel(handle, fileLabel);
    savSetCompression(handle, 1);
    for (const CaseTableVariable& v : variables_) {
      savSetVarName(handle, v.name, v.width);
      if (!v.label.empty()) savSetVarLabel(handle, v.name, v.label);
      const int type = v.width > 0 ? kFormatA : kFormatF;
      const int decimals = v.width > 0 ? 0 : v.decimals;
      const int width = v.width > 0 ? v.width : std::max(8, std::min(40, decimals + 10));
      savSetVarWriteFormat(handle, v.name, type, decimals, width);
      savSetVarPrintFormat(handle, v.name, type, decimals, width);
    }
    savCommitHeader(handle);
    std::vector<double> handles;
    for (const CaseTableVariable& v : variables_) handles.push_back(savGetVarHandle(handle, v.name));
    for (std::size_t c = 0; c < caseCount_; ++c) {
      for (std::size_t v = 0; v < variables_.size(); ++v) {
        const CaseTableVariable& variable = variables_[v];
        if (variable.width > 0) savSetValueChar(handle, handles[v], variable.strings[c]);
        else savSetValueNumeric(handle, handles[v], variable.numbers[c]);
      }
      savCommitCaseRecord(handle);
    }
    savCloseWrite(handle);
  } catch (const std::exception& error) {
    // Nothing of a file cut short is left; a file of that name stays as it was.
    try {
      savDiscardWrite(handle);
    } catch (const EKorvanaError&) {
    }
    throw EKorvanaError("'" + fileName + "' could not be written: " +
                        (dynamic_cast<const std::bad_alloc*>(&error) ? std::string("insufficient memory") : error.what()));
  }
}

}  // namespace korvana
