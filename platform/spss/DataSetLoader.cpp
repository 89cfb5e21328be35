#include "platform/spss/DataSetLoader.h"

#include <filesystem>

#include "common/EKorvanaError.h"
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

DataSet DataSetLoader::load(const std::string& path) {
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
