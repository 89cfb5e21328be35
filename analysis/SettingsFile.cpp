#include "analysis/SettingsFile.h"

#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <array>
#include <filesystem>
#include <type_traits>
#include <vector>

#include "common/AtomicFile.h"
#include "common/EKorvanaError.h"
#include "common/Utf8.h"

namespace korvana {

namespace {

constexpr const char* kGeneral = "General";
constexpr const char* kOptions = "Options";
// The desktop program's own keys in [General].
constexpr const char* kRecentDataFiles = "Recent Data Files";
constexpr const char* kLastDataFile = "Last Data File";
constexpr char kPathSeparator = '|';

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

void SettingsFile::loadText(const std::string& text) {
  store_->ini.Reset();
  if (store_->ini.LoadData(text) < 0) throw EKorvanaError("The settings cannot be read");
}

std::string SettingsFile::text() const {
  std::string text;
  if (store_->ini.Save(text) < 0) throw EKorvanaError("The settings cannot be written");
  return text;
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

std::string encodePathList(const std::vector<std::string>& paths) {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string text;
  const auto escape = [&](unsigned char byte) {
    text += '%';
    text += hex[byte >> 4];
    text += hex[byte & 0xF];
  };
  bool first = true;
  for (const std::string& path : paths) {
    if (path.empty()) continue;
    if (!first) text += kPathSeparator;
    first = false;
    for (std::size_t at = 0; at < path.size();) {
      const auto byte = static_cast<unsigned char>(path[at]);
      if (byte >= 0x80) {
        // Well-formed UTF-8 stays readable; any other byte is escaped.
        const utf8::Decoded decoded = utf8::decode(path, at);
        if (decoded.valid) {
          text.append(path, at, decoded.length);
          at += decoded.length;
        } else {
          escape(byte);
          ++at;
        }
        continue;
      }
      const bool atEnd = at == 0 || at + 1 == path.size();
      if (byte < 0x20 || byte == 0x7F || byte == '%' || byte == kPathSeparator || (byte == ' ' && atEnd)) {
        escape(byte);
      } else {
        text += static_cast<char>(byte);
      }
      ++at;
    }
  }
  return text;
}

std::vector<std::string> decodePathList(const std::string& text) {
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::vector<std::string> paths;
  std::string path;
  for (std::size_t at = 0; at <= text.size(); ++at) {
    if (at == text.size() || text[at] == kPathSeparator) {
      if (!path.empty()) paths.push_back(std::move(path));
      path.clear();
      continue;
    }
    if (text[at] == '%' && at + 2 < text.size() && digit(text[at + 1]) >= 0 && digit(text[at + 2]) >= 0) {
      path += static_cast<char>(digit(text[at + 1]) * 16 + digit(text[at + 2]));
      at += 2;
      continue;
    }
    path += text[at];
  }
  return paths;
}

std::vector<std::string> SettingsFile::recentDataFiles() const {
  return decodePathList(value(kGeneral, kRecentDataFiles).value_or(""));
}

void SettingsFile::setRecentDataFiles(const std::vector<std::string>& paths) {
  setValue(kGeneral, kRecentDataFiles, encodePathList(paths));
}

std::string SettingsFile::lastDataFile() const {
  const std::vector<std::string> paths = decodePathList(value(kGeneral, kLastDataFile).value_or(""));
  return paths.empty() ? std::string() : paths.front();
}

void SettingsFile::setLastDataFile(const std::string& path) {
  setValue(kGeneral, kLastDataFile, encodePathList({path}));
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
void fromText(const std::string& text, SolutionsShown& shown) {
  if (const auto read = parseSettingsInteger(text))
    shown = *read == static_cast<std::int32_t>(SolutionsShown::hierarchies) ? SolutionsShown::hierarchies
                                                                             : SolutionsShown::orders;
}
void fromText(const std::string& text, SeedType& type) {
  if (const auto read = parseSettingsInteger(text))
    type = *read == static_cast<std::int32_t>(SeedType::random) ? SeedType::random : SeedType::custom;
}

/// The values a key accepts: any text, or numbers for which `accepts` holds.
struct Domain {
  bool (*accepts)(std::int32_t number);  // null: any text
  const char* allowed;                   // in words, for messages
};

constexpr Domain kText{nullptr, "any text"};
constexpr Domain kAnyNumber{[](std::int32_t) { return true; },
                            "a whole number from -2147483648 to 2147483647"};
constexpr Domain kListPosition{[](std::int32_t n) { return n >= 0; }, "a position in its list, from 0"};
constexpr Domain kCount{[](std::int32_t n) { return n >= 1; }, "a whole number from 1 to 2147483647"};
constexpr Domain kFlag{[](std::int32_t n) { return n == 0 || n == 1; }, "0 (no) or 1 (yes)"};
constexpr Domain kPowerPosition{[](std::int32_t n) { return n >= 0 && n <= 3; },
                                "0, 1, 2 or 3 (the positions of 1, 2, 3 and 4 in their list)"};
constexpr Domain kAnalysisType{[](std::int32_t n) { return n == 1 || n == 2; },
                               "1 (read a proximity-matrix file) or 2 (analyze the data)"};
constexpr Domain kClusterView{[](std::int32_t n) { return n == 1 || n == 2; }, "1 (cases) or 2 (variables)"};
constexpr Domain kStandardiseView{[](std::int32_t n) { return n == 0 || n == 1; },
                                  "1 (by variable) or 0 (by case)"};
constexpr Domain kSelectedMeasure{[](std::int32_t n) { return n >= 0 && n <= 2; },
                                  "0 (interval), 1 (counts) or 2 (binary)"};
constexpr Domain kSolutionsShown{[](std::int32_t n) { return n == 0 || n == 1; },
                                 "0 (every distinct merge order) or 1 (one per hierarchy)"};
constexpr Domain kStopWhenStable{[](std::int32_t n) { return n >= 0; },
                                 "0 (run every permutation) or a number of permutations from 1"};
constexpr Domain kSeedType{[](std::int32_t n) { return n == 0 || n == 1; },
                           "0 (a random seed from the clock) or 1 (the Seed value)"};

/// One key of the request: where it lives, the field it stores and the
/// values it accepts.
struct SettingsKey {
  const char* section;
  const char* name;
  Domain domain;
  std::string (*write)(const AnalysisRequest& request);
  void (*read)(const std::string& text, AnalysisRequest& request);
};

template <auto field>
constexpr SettingsKey key(const char* section, const char* name, Domain domain) {
  return {section, name, domain, [](const AnalysisRequest& request) { return toText(request.*field); },
          [](const std::string& text, AnalysisRequest& request) { fromText(text, request.*field); }};
}

using R = AnalysisRequest;

/// Every key of a request, in the order a new file lists them.
constexpr SettingsKey kKeys[] = {
    key<&R::clusterMethod>(kGeneral, "Cluster Method", kListPosition),
    key<&R::numberOfPermutations>(kGeneral, "Number of Permutations", kCount),
    key<&R::analysisType>(kGeneral, "Analysis Type", kAnalysisType),
    key<&R::matrixFilename>(kGeneral, "Matrix Filename", kText),
    key<&R::clusterView>(kGeneral, "Cluster View", kClusterView),
    key<&R::clusterVariables>(kGeneral, "Cluster Variables", kText),
    key<&R::labelVariable>(kGeneral, "Label Variable", kText),
    key<&R::selectedMeasure>(kGeneral, "Selected Measure", kSelectedMeasure),
    key<&R::intervalMeasure>(kGeneral, "Interval Measure", kListPosition),
    key<&R::intervalMeasurePower>(kGeneral, "Interval Measure Power", kPowerPosition),
    key<&R::intervalMeasureRoot>(kGeneral, "Interval Measure Root", kPowerPosition),
    key<&R::countsMeasure>(kGeneral, "Counts Measure", kListPosition),
    key<&R::binaryMeasure>(kGeneral, "Binary Measure", kListPosition),
    key<&R::binaryMeasurePresent>(kGeneral, "Binary Measure Present", kAnyNumber),
    key<&R::binaryMeasureAbsent>(kGeneral, "Binary Measure Absent", kAnyNumber),
    key<&R::absoluteValues>(kGeneral, "Absolute Values", kFlag),
    key<&R::changeSign>(kGeneral, "Change Sign", kFlag),
    key<&R::rescale>(kGeneral, "Rescale", kFlag),
    key<&R::standardiseMethod>(kGeneral, "Standardise Method", kListPosition),
    key<&R::standardiseView>(kGeneral, "Standardise View", kStandardiseView),
    // "Fist", not "First": the spelling every settings file written so far
    // uses, so it stays.
    key<&R::firstPermutationIdentity>(kOptions, "Fist Permutation Identity", kFlag),
    key<&R::seedType>(kOptions, "Seed Type", kSeedType),
    key<&R::seed>(kOptions, "Seed", kAnyNumber),
    key<&R::proximityMatrix>(kOptions, "Proximity Matrix", kFlag),
    key<&R::permutationFit>(kOptions, "Permutation Fit", kFlag),
    key<&R::objectOrder>(kOptions, "Object Order", kFlag),
    key<&R::agglomerationSchedule>(kOptions, "Agglomeration Schedule", kFlag),
    key<&R::dendrogram>(kOptions, "Dendrogram", kFlag),
    key<&R::savePermutationFitTable>(kOptions, "Save Permutation Fit Table", kFlag),
    key<&R::clusterSupport>(kOptions, "Cluster Support", kFlag),
    key<&R::solutionsShown>(kOptions, "Solutions Shown", kSolutionsShown),
    key<&R::stopWhenStable>(kOptions, "Stop When Stable", kStopWhenStable),
    key<&R::orderFreeTree>(kOptions, "Order Free Tree", kFlag),
    key<&R::permutationFitTableFilename>(kGeneral, "Permutation Fit Table Filename", kText),
};

/// The keys the desktop program keeps in the same sections that are not part
/// of a request.
constexpr std::array<const char*, 2> kOtherKeys{kRecentDataFiles, kLastDataFile};

bool isKnownKey(const std::string& section, const std::string& name) {
  for (const SettingsKey& k : kKeys)
    if (section == k.section && name == k.name) return true;
  for (const char* other : kOtherKeys)
    if (name == other) return true;
  return false;
}

}  // namespace

AnalysisRequest SettingsFile::readRequest(SettingsReport* report) const {
  AnalysisRequest request;
  for (const SettingsKey& k : kKeys) {
    const auto text = value(k.section, k.name);
    if (!text) continue;
    k.read(*text, request);
    if (report == nullptr || k.domain.accepts == nullptr) continue;
    const auto number = parseSettingsInteger(*text);
    if (!number || !k.domain.accepts(*number)) report->problems.push_back({k.section, k.name, *text, k.domain.allowed});
  }
  if (report != nullptr) {
    for (const char* section : {kGeneral, kOptions}) {
      CSimpleIniA::TNamesDepend names;
      store_->ini.GetAllKeys(section, names);
      names.sort(CSimpleIniA::Entry::LoadOrder());
      for (const auto& name : names)
        if (!isKnownKey(section, name.pItem)) report->unknownKeys.push_back({section, name.pItem, "", ""});
    }
  }
  return request;
}

void SettingsFile::writeRequest(const AnalysisRequest& request) {
  for (const SettingsKey& k : kKeys) setValue(k.section, k.name, k.write(request));
}

}  // namespace korvana
