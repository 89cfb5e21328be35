#include "analysis/SettingsFile.h"

#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <filesystem>
#include <type_traits>
#include <vector>

#include "common/AtomicFile.h"
#include "common/KorvanaError.h"

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
  try {
    // A new settings file is the user's own.
    replaceFileAtomically(path, text, privateFileMode);
  } catch (const EKorvanaError& error) {
    throw EKorvanaError(std::string("Settings file: ") + error.what());
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

namespace {

// The text of each kind of value, as the file stores it.
std::string toText(std::int32_t number) { return std::to_string(number); }
std::string toText(bool set) { return set ? "1" : "0"; }
std::string toText(const std::string& text) { return text; }
std::string toText(const std::vector<std::string>& names) { return joinNames(names); }
template <class Choice>
  requires std::is_enum_v<Choice>
std::string toText(Choice choice) {
  return std::to_string(static_cast<std::int32_t>(choice));
}

// Reading a value that is there; one that cannot be read leaves the field as
// it is (its default).
void fromText(const std::string& text, std::int32_t& number) {
  if (const auto read = parseSettingsInteger(text)) number = *read;
}
void fromText(const std::string& text, bool& set) {
  if (const auto read = parseSettingsInteger(text)) set = *read != 0;
}
void fromText(const std::string& text, std::string& value) { value = text; }
void fromText(const std::string& text, std::vector<std::string>& names) { names = splitNames(text); }
// The numbers of the choices: one number names a choice, every other number
// the other choice, as the program has always read them.
void fromText(const std::string& text, AnalysisType& type) {
  if (const auto read = parseSettingsInteger(text))
    type = *read == static_cast<std::int32_t>(AnalysisType::data) ? AnalysisType::data : AnalysisType::matrixFile;
}
void fromText(const std::string& text, ClusterView& view) {
  if (const auto read = parseSettingsInteger(text))
    view = *read == static_cast<std::int32_t>(ClusterView::cases) ? ClusterView::cases : ClusterView::variables;
}
void fromText(const std::string& text, SeedType& type) {
  if (const auto read = parseSettingsInteger(text))
    type = *read == static_cast<std::int32_t>(SeedType::random) ? SeedType::random : SeedType::custom;
}

/// One key of the request: where it lives and the field it stores.
struct SettingsKey {
  const char* section;
  const char* name;
  std::string (*write)(const AnalysisRequest& request);
  void (*read)(const std::string& text, AnalysisRequest& request);
};

template <auto field>
constexpr SettingsKey key(const char* section, const char* name) {
  return {section, name, [](const AnalysisRequest& request) { return toText(request.*field); },
          [](const std::string& text, AnalysisRequest& request) { fromText(text, request.*field); }};
}

using R = AnalysisRequest;

/// Every key of a request, in the order a new file lists them.
constexpr SettingsKey kKeys[] = {
    key<&R::clusterMethod>(kGeneral, "Cluster Method"),
    key<&R::numberOfPermutations>(kGeneral, "Number of Permutations"),
    key<&R::analysisType>(kGeneral, "Analysis Type"),
    key<&R::matrixFilename>(kGeneral, "Matrix Filename"),
    key<&R::clusterView>(kGeneral, "Cluster View"),
    key<&R::clusterVariables>(kGeneral, "Cluster Variables"),
    key<&R::labelVariable>(kGeneral, "Label Variable"),
    key<&R::selectedMeasure>(kGeneral, "Selected Measure"),
    key<&R::intervalMeasure>(kGeneral, "Interval Measure"),
    key<&R::intervalMeasurePower>(kGeneral, "Interval Measure Power"),
    key<&R::intervalMeasureRoot>(kGeneral, "Interval Measure Root"),
    key<&R::countsMeasure>(kGeneral, "Counts Measure"),
    key<&R::binaryMeasure>(kGeneral, "Binary Measure"),
    key<&R::binaryMeasurePresent>(kGeneral, "Binary Measure Present"),
    key<&R::binaryMeasureAbsent>(kGeneral, "Binary Measure Absent"),
    key<&R::absoluteValues>(kGeneral, "Absolute Values"),
    key<&R::changeSign>(kGeneral, "Change Sign"),
    key<&R::rescale>(kGeneral, "Rescale"),
    key<&R::standardiseMethod>(kGeneral, "Standardise Method"),
    key<&R::standardiseView>(kGeneral, "Standardise View"),
    // "Fist", not "First": the spelling every settings file written so far
    // uses, so it stays.
    key<&R::firstPermutationIdentity>(kOptions, "Fist Permutation Identity"),
    key<&R::seedType>(kOptions, "Seed Type"),
    key<&R::seed>(kOptions, "Seed"),
    key<&R::proximityMatrix>(kOptions, "Proximity Matrix"),
    key<&R::permutationFit>(kOptions, "Permutation Fit"),
    key<&R::objectOrder>(kOptions, "Object Order"),
    key<&R::agglomerationSchedule>(kOptions, "Agglomeration Schedule"),
    key<&R::dendrogram>(kOptions, "Dendrogram"),
    key<&R::savePermutationFitTable>(kOptions, "Save Permutation Fit Table"),
    key<&R::permutationFitTableFilename>(kGeneral, "Permutation Fit Table Filename"),
};

}  // namespace

AnalysisRequest SettingsFile::readRequest() const {
  AnalysisRequest request;
  for (const SettingsKey& k : kKeys)
    if (const auto text = value(k.section, k.name)) k.read(*text, request);
  return request;
}

void SettingsFile::writeRequest(const AnalysisRequest& request) {
  for (const SettingsKey& k : kKeys) setValue(k.section, k.name, k.write(request));
}

}  // namespace korvana
