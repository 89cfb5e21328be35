#include "platform/spss/CsvDataSetReader.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <vector>

#include "common/EKorvanaError.h"
#include "common/Utf8.h"

namespace korvana::spss {

namespace {

using Row = std::vector<std::string>;

struct Record {
  Row fields;
  std::size_t line = 0;  // where the record starts, from 1
};

std::vector<Record> records(const std::string& text, const std::string& sourceName) {
  std::vector<Record> result;
  std::size_t pos = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  std::size_t line = 1;
  while (pos < text.size()) {
    Record record;
    record.line = line;
    std::string field;
    bool recordDone = false;
    while (!recordDone) {
      field.clear();
      if (pos < text.size() && text[pos] == '"') {
        const std::size_t opened = line;
        ++pos;
        while (true) {
          if (pos >= text.size())
            throw EKorvanaError("The data file " + sourceName + " has a quoted field opened on line " +
                                std::to_string(opened) + " that is never closed");
          if (text[pos] == '"') {
            if (pos + 1 < text.size() && text[pos + 1] == '"') {
              field += '"';
              pos += 2;
              continue;
            }
            ++pos;
            break;
          }
          if (text[pos] == '\n') ++line;
          field += text[pos++];
        }
        // Anything between the closing quote and the separator is kept.
        while (pos < text.size() && text[pos] != ',' && text[pos] != '\n' && text[pos] != '\r')
          field += text[pos++];
      } else {
        while (pos < text.size() && text[pos] != ',' && text[pos] != '\n' && text[pos] != '\r')
          field += text[pos++];
      }
      record.fields.push_back(field);
      if (pos < text.size() && text[pos] == ',') {
        ++pos;
        continue;
      }
      if (pos < text.size() && text[pos] == '\r') ++pos;
      if (pos < text.size() && text[pos] == '\n') ++pos;
      ++line;
      recordDone = true;
    }
    const bool blank = record.fields.size() == 1 && record.fields[0].find_first_not_of(" \t") == std::string::npos;
    if (!blank) result.push_back(std::move(record));
  }
  return result;
}

std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  const std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool parseNumber(const std::string& field, double& value) {
  const std::string text = trimmed(field);
  if (text.empty()) return false;
  const char* begin = text.data();
  if (*begin == '+') ++begin;
  const auto result = std::from_chars(begin, text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size() && std::isfinite(value);
}

}  // namespace

DataSet CsvDataSetReader::read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw EKorvanaError("The data file " + path + " could not be opened");
  std::ostringstream content;
  content << in.rdbuf();
  std::string text = content.str();
  // Text that is not UTF-8 is most often Latin-1 from an older program; read
  // that way every byte means something, and the user is told.
  if (utf8::isWellFormed(text)) return parse(text, path);
  DataSet data = parse(utf8::fromLatin1(text), path);
  data.addReadingNote("The data file " + path +
                      " is not UTF-8 text; it was read as Latin-1 (ISO 8859-1), one character per byte.");
  return data;
}

DataSet CsvDataSetReader::parse(const std::string& text, const std::string& sourceName) {
  const std::vector<Record> all = records(text, sourceName);
  if (all.empty()) throw EKorvanaError("The data file " + sourceName + " has no header row");
  const Row& header = all.front().fields;
  const std::size_t columns = header.size();
  for (std::size_t r = 1; r < all.size(); ++r)
    if (all[r].fields.size() != columns)
      throw EKorvanaError("The data file " + sourceName + " has " + std::to_string(all[r].fields.size()) +
                          " fields on line " + std::to_string(all[r].line) + " where the header has " +
                          std::to_string(columns));

  DataSet data;
  std::vector<bool> numeric(columns, true);
  for (std::size_t c = 0; c < columns; ++c) {
    DataVariable variable;
    variable.name = trimmed(header[c]);
    if (variable.name.empty())
      throw EKorvanaError("The data file " + sourceName + " has no name for column " + std::to_string(c + 1));
    std::size_t width = 1;
    for (std::size_t r = 1; r < all.size(); ++r) {
      double value = 0;
      const std::string& field = all[r].fields[c];
      if (!parseNumber(field, value) && !trimmed(field).empty()) numeric[c] = false;
      width = std::max(width, field.size());
    }
    variable.type = numeric[c] ? 0 : static_cast<std::int32_t>(width);
    variable.measurementLevel = numeric[c] ? measurementScale : measurementNominal;
    try {
      data.addVariable(std::move(variable));
    } catch (const EKorvanaError& error) {
      throw EKorvanaError("The data file " + sourceName + " cannot be used: " + error.what());
    }
  }
  for (std::size_t r = 1; r < all.size(); ++r) {
    const std::size_t caseIndex = data.addCase();
    for (std::size_t c = 0; c < columns; ++c) {
      const std::string& field = all[r].fields[c];
      if (numeric[c]) {
        double value = std::numeric_limits<double>::quiet_NaN();
        parseNumber(field, value);
        data.setNumeric(caseIndex, c, value);
      } else {
        data.setString(caseIndex, c, field);
      }
    }
  }
  return data;
}

}  // namespace korvana::spss
