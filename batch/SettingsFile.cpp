#include "batch/SettingsFile.h"

#define SI_NO_CONVERSION
#include <SimpleIni.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <vector>

#include "engine/KorvanaError.h"

namespace korvana {

namespace {

constexpr const char* kGeneral = "General";
constexpr const char* kOptions = "Options";

std::string joinNames(const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += ':';
    text += names[i];
  }
  return text;
}

/// Splits "a:b:c" into its names; an empty text gives none, and the text after
/// the last ":" is a name only when it is not empty.
std::vector<std::string> splitNames(const std::string& text) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t colon = text.find(':', start);
    if (colon == std::string::npos) {
      names.push_back(text.substr(start));
      break;
    }
    names.push_back(text.substr(start, colon - start));
    start = colon + 1;
  }
  return names;
}

[[noreturn]] void fail(const std::string& path, const std::string& what) {
  throw EKorvanaError("Settings file '" + path + "' " + what);
}

}  // namespace

struct SettingsFile::Store {
  CSimpleIniA ini{/*isUtf8=*/true, /*multiKey=*/false, /*multiLine=*/false};
};

SettingsFile::SettingsFile() : store_(std::make_unique<Store>()) { store_->ini.SetSpaces(false); }

SettingsFile::~SettingsFile() = default;

std::optional<std::int32_t> parseSettingsInteger(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const auto digit = [](char c, int base) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (base == 16 && c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  int base = 10;
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  } else if (i < text.size() && text[i] == '$') {
    base = 16;
    i += 1;
  }
  if (i >= text.size()) return std::nullopt;
  std::uint64_t value = 0;
  int digits = 0;
  for (; i < text.size(); ++i) {
    const int d = digit(text[i], base);
    if (d < 0) return std::nullopt;
    value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
    if (value > 0xFFFFFFFFull || ++digits > 20) return std::nullopt;
  }
  if (base == 16) {
    // Hexadecimal gives the 32-bit pattern: 0xFFFFFFFF is -1.
    auto pattern = static_cast<std::uint32_t>(value);
    if (negative) pattern = 0u - pattern;
    return static_cast<std::int32_t>(pattern);
  }
  if (negative ? value > 2147483648ull : value > 2147483647ull) return std::nullopt;
  const auto magnitude = static_cast<std::int64_t>(value);
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

void SettingsFile::load(const std::string& path) {
  store_->ini.Reset();
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    if (error) fail(path, "cannot be read: " + error.message());
    return;
  }
  if (store_->ini.LoadFile(path.c_str()) < 0) fail(path, "cannot be read");
}

void SettingsFile::save(const std::string& path) const {
  std::string text;
  if (store_->ini.Save(text) < 0) fail(path, "cannot be written");
  const std::filesystem::path target(path);
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
  std::string pattern = (folder / (target.filename().string() + ".XXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) fail(path, std::string("cannot be written: ") + std::strerror(errno));
  const std::string temporary(name.data());
  const auto abandon = [&](const char* step) {
    const int saved = errno;
    ::close(fd);
    ::unlink(temporary.c_str());
    fail(path, std::string("cannot be written (") + step + "): " + std::strerror(saved));
  };
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) abandon("write");
    written += static_cast<std::size_t>(n);
  }
  // An existing file keeps its permissions; a new one is the user's own.
  struct stat existing {};
  const mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0600;
  if (::fchmod(fd, mode) != 0) abandon("permissions");
  if (::fsync(fd) != 0) abandon("sync");
  if (::close(fd) != 0) {
    const int saved = errno;
    ::unlink(temporary.c_str());
    fail(path, std::string("cannot be written (close): ") + std::strerror(saved));
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    const int saved = errno;
    ::unlink(temporary.c_str());
    fail(path, std::string("cannot be written (rename): ") + std::strerror(saved));
  }
  const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    ::fsync(folderFd);
    ::close(folderFd);
  }
}

std::optional<std::string> SettingsFile::value(const std::string& section, const std::string& key) const {
  const char* text = store_->ini.GetValue(section.c_str(), key.c_str(), nullptr);
  if (text == nullptr) return std::nullopt;
  return std::string(text);
}

void SettingsFile::setValue(const std::string& section, const std::string& key, const std::string& text) {
  store_->ini.SetValue(section.c_str(), key.c_str(), text.c_str());
}

std::int32_t SettingsFile::readInteger(const char* section, const char* key, std::int32_t fallback) const {
  const auto text = value(section, key);
  if (!text) return fallback;
  return parseSettingsInteger(*text).value_or(fallback);
}

bool SettingsFile::readFlag(const char* section, const char* key, bool fallback) const {
  const auto text = value(section, key);
  if (!text) return fallback;
  const auto number = parseSettingsInteger(*text);
  return number ? *number != 0 : fallback;
}

std::string SettingsFile::readText(const char* section, const char* key) const {
  return value(section, key).value_or(std::string());
}

AnalysisRequest SettingsFile::readRequest() const {
  AnalysisRequest r;
  r.clusterMethod = readInteger(kGeneral, "Cluster Method", r.clusterMethod);
  r.numberOfPermutations = readInteger(kGeneral, "Number of Permutations", r.numberOfPermutations);
  r.analysisType = readInteger(kGeneral, "Analysis Type", r.analysisType);
  r.matrixFilename = readText(kGeneral, "Matrix Filename");
  r.clusterView = readInteger(kGeneral, "Cluster View", r.clusterView);
  r.clusterVariables = splitNames(readText(kGeneral, "Cluster Variables"));
  r.labelVariable = readText(kGeneral, "Label Variable");
  r.selectedMeasure = readInteger(kGeneral, "Selected Measure", r.selectedMeasure);
  r.intervalMeasure = readInteger(kGeneral, "Interval Measure", r.intervalMeasure);
  r.intervalMeasurePower = readInteger(kGeneral, "Interval Measure Power", r.intervalMeasurePower);
  r.intervalMeasureRoot = readInteger(kGeneral, "Interval Measure Root", r.intervalMeasureRoot);
  r.countsMeasure = readInteger(kGeneral, "Counts Measure", r.countsMeasure);
  r.binaryMeasure = readInteger(kGeneral, "Binary Measure", r.binaryMeasure);
  r.binaryMeasurePresent = readInteger(kGeneral, "Binary Measure Present", r.binaryMeasurePresent);
  r.binaryMeasureAbsent = readInteger(kGeneral, "Binary Measure Absent", r.binaryMeasureAbsent);
  r.absoluteValues = readFlag(kGeneral, "Absolute Values", r.absoluteValues);
  r.changeSign = readFlag(kGeneral, "Change Sign", r.changeSign);
  r.rescale = readFlag(kGeneral, "Rescale", r.rescale);
  r.standardiseMethod = readInteger(kGeneral, "Standardise Method", r.standardiseMethod);
  r.standardiseView = readInteger(kGeneral, "Standardise View", r.standardiseView);
  r.firstPermutationIdentity = readFlag(kOptions, "Fist Permutation Identity", r.firstPermutationIdentity);
  r.seed = readInteger(kOptions, "Seed", r.seed);
  r.seedType = readInteger(kOptions, "Seed Type", r.seedType);
  r.proximityMatrix = readFlag(kOptions, "Proximity Matrix", r.proximityMatrix);
  r.permutationFit = readFlag(kOptions, "Permutation Fit", r.permutationFit);
  r.objectOrder = readFlag(kOptions, "Object Order", r.objectOrder);
  r.agglomerationSchedule = readFlag(kOptions, "Agglomeration Schedule", r.agglomerationSchedule);
  r.dendrogram = readFlag(kOptions, "Dendrogram", r.dendrogram);
  r.savePermutationFitTable = readFlag(kOptions, "Save Permutation Fit Table", r.savePermutationFitTable);
  r.permutationFitTableFilename = readText(kGeneral, "Permutation Fit Table Filename");
  return r;
}

void SettingsFile::writeRequest(const AnalysisRequest& r) {
  const auto integer = [this](const char* section, const char* key, std::int32_t number) {
    setValue(section, key, std::to_string(number));
  };
  const auto flag = [this](const char* section, const char* key, bool set) {
    setValue(section, key, set ? "1" : "0");
  };
  integer(kGeneral, "Cluster Method", r.clusterMethod);
  integer(kGeneral, "Number of Permutations", r.numberOfPermutations);
  integer(kGeneral, "Analysis Type", r.analysisType);
  setValue(kGeneral, "Matrix Filename", r.matrixFilename);
  integer(kGeneral, "Cluster View", r.clusterView);
  setValue(kGeneral, "Cluster Variables", joinNames(r.clusterVariables));
  setValue(kGeneral, "Label Variable", r.labelVariable);
  integer(kGeneral, "Selected Measure", r.selectedMeasure);
  integer(kGeneral, "Interval Measure", r.intervalMeasure);
  integer(kGeneral, "Interval Measure Power", r.intervalMeasurePower);
  integer(kGeneral, "Interval Measure Root", r.intervalMeasureRoot);
  integer(kGeneral, "Counts Measure", r.countsMeasure);
  integer(kGeneral, "Binary Measure", r.binaryMeasure);
  integer(kGeneral, "Binary Measure Present", r.binaryMeasurePresent);
  integer(kGeneral, "Binary Measure Absent", r.binaryMeasureAbsent);
  flag(kGeneral, "Absolute Values", r.absoluteValues);
  flag(kGeneral, "Change Sign", r.changeSign);
  flag(kGeneral, "Rescale", r.rescale);
  integer(kGeneral, "Standardise Method", r.standardiseMethod);
  integer(kGeneral, "Standardise View", r.standardiseView);
  flag(kOptions, "Fist Permutation Identity", r.firstPermutationIdentity);
  integer(kOptions, "Seed Type", r.seedType);
  integer(kOptions, "Seed", r.seed);
  flag(kOptions, "Proximity Matrix", r.proximityMatrix);
  flag(kOptions, "Permutation Fit", r.permutationFit);
  flag(kOptions, "Object Order", r.objectOrder);
  flag(kOptions, "Agglomeration Schedule", r.agglomerationSchedule);
  flag(kOptions, "Dendrogram", r.dendrogram);
  flag(kOptions, "Save Permutation Fit Table", r.savePermutationFitTable);
  setValue(kGeneral, "Permutation Fit Table Filename", r.permutationFitTableFilename);
}

}  // namespace korvana
