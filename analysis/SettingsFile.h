// The settings file "Korvana.ini": sections "General" and "Options" of
// "key=value" lines. The whole file is held in memory; reading a request
// takes every key with its default, writing one sets every key in a fixed
// order, and keys and sections the program does not know are kept.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/AnalysisRequest.h"

namespace korvana {

/// A key of the settings file, with its value as written and, for a value
/// the key does not accept, what it does accept.
struct SettingsEntry {
  std::string section;
  std::string key;
  std::string value;
  std::string allowed;
};

/// What reading a request found besides the request itself.
struct SettingsReport {
  /// Values a key does not accept; the request holds the key's default (or,
  /// for a number outside its range, the number as read).
  std::vector<SettingsEntry> problems;
  /// Keys of [General] and [Options] the program does not know (they stay in
  /// the file).
  std::vector<SettingsEntry> unknownKeys;
};

class SettingsFile {
 public:
  SettingsFile();
  ~SettingsFile();
  SettingsFile(const SettingsFile&) = delete;
  SettingsFile& operator=(const SettingsFile&) = delete;

  /// Reads the file; a file that does not exist gives empty settings. Throws
  /// EKorvanaError naming the file when it exists but cannot be read.
  void load(const std::string& path);
  /// The same from text in the file's format, and the file's text as it
  /// would be saved.
  void loadText(const std::string& text);
  std::string text() const;
  /// Writes the whole file atomically (common/AtomicFile.h), so that a
  /// failure never leaves a cut file behind. An existing file keeps its
  /// permissions; a new one is readable by its owner only. Throws
  /// EKorvanaError naming the file on failure.
  void save(const std::string& path) const;

  /// The request the settings describe; missing or unreadable values take
  /// their defaults (the desktop program restores a screen from it). With a
  /// report, every value a key does not accept and every unknown key is
  /// listed there, for callers that must refuse what they cannot honour.
  AnalysisRequest readRequest(SettingsReport* report = nullptr) const;
  /// Stores every key of the request (in memory).
  void writeRequest(const AnalysisRequest& request);

  /// The desktop program's record of its data files, in [General] (not part
  /// of a request): "Recent Data Files", most recent first, and "Last Data
  /// File", the one to reopen at the next start. Both hold paths as
  /// encodePathList() writes them; a missing key gives none (empty).
  std::vector<std::string> recentDataFiles() const;
  void setRecentDataFiles(const std::vector<std::string>& paths);
  std::string lastDataFile() const;
  void setLastDataFile(const std::string& path);

  /// A value as text, or nothing when the key is missing.
  std::optional<std::string> value(const std::string& section, const std::string& key) const;
  void setValue(const std::string& section, const std::string& key, const std::string& text);

 private:
  struct Store;
  std::unique_ptr<Store> store_;
};

/// Paths as one line of the settings file. Every path survives, whatever
/// bytes it holds: in each, "%", "|", the control characters, bytes that are
/// not part of well-formed UTF-8 and a blank at either end are written as
/// "%" and two upper-case hexadecimal digits, and the paths are separated by
/// "|". So "/data/a|b.sav" and "/tmp/x y.csv" give
/// "/data/a%7Cb.sav|/tmp/x y.csv". Empty paths are left out.
std::string encodePathList(const std::vector<std::string>& paths);
/// The paths of such a line. A "%" without two hexadecimal digits after it
/// stands for itself; empty paths are left out.
std::vector<std::string> decodePathList(const std::string& text);

/// Reads an integer the way the settings file stores it: optional blanks, an
/// optional sign, decimal digits, or "0x" / "$" and hexadecimal digits (up to
/// eight, read as a 32-bit pattern); nothing after it. Nothing when the text
/// is not such a number or does not fit 32 bits.
std::optional<std::int32_t> parseSettingsInteger(const std::string& text);

}  // namespace korvana
