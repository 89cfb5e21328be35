#include "platform/spss/DataSetLoader.h"

#include <filesystem>

#include "common/EKorvanaError.h"
#include "common/PrintableText.h"
#include "platform/spss/CsvDataSetReader.h"
#include "platform/spss/ReadStatDataSetReader.h"
#include "platform/spss/SavDataSetReader.h"

namespace korvana::spss {

namespace {

bool isCsv(const std::string& extension) {
  std::string lower;
  for (char c : extension) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower == ".csv";
}

}  // namespace

namespace {

DataSet read(const std::string& path) {
  const std::string extension = std::filesystem::path(path).extension().string();
  ReadStatDataSetReader::Format format{};
  if (!ReadStatDataSetReader::formatForExtension(extension, format)) {
    if (isCsv(extension)) return CsvDataSetReader::read(path);
    throw EKorvanaError("The data file " + path + " is of a kind that cannot be opened (use .sav, .zsav, .por, "
                        ".dta, .sas7bdat, .xpt or .csv)");
  }
  if (format == ReadStatDataSetReader::Format::sav) return SavDataSetReader::read(path);
  return ReadStatDataSetReader::read(path, format);
}

}  // namespace

DataSet DataSetLoader::load(const std::string& path) {
  DataSet data = read(path);
  if (!data.renamings().empty()) {
    std::string list;
    for (const DataSet::Renaming& renaming : data.renamings())
      list += (list.empty() ? "" : "; ") + ("'" + printableText(renaming.givenName) + "' is " +
                                            data.variable(renaming.index).name);
    data.addReadingNote("The data file " + path +
                        " has variable names that command syntax cannot take; they were made valid names, each "
                        "keeping the name as given as its label when it had none: " + list + ".");
  }
  return data;
}

const std::vector<std::string>& DataSetLoader::extensions() {
  static const std::vector<std::string> all = {"sav", "zsav", "por", "dta", "sas7bdat", "xpt", "csv"};
  return all;
}

bool DataSetLoader::readsExtensionOf(const std::string& path) {
  const std::string extension = std::filesystem::path(path).extension().string();
  ReadStatDataSetReader::Format format{};
  return ReadStatDataSetReader::formatForExtension(extension, format) || isCsv(extension);
}

}  // namespace korvana::spss
