// Helpers for the data-file library tests: temporary folders, file bytes, a
// small decoder of dictionary records written independently of the library,
// a reader that goes to ReadStat directly, whole files written and read
// through the library's C API, and running PSPP as a peer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace savtest {

// A new folder under the system's temporary folder, removed with its
// contents when the object goes.
class TemporaryFolder {
 public:
  TemporaryFolder();
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  // The names of the entries in the folder, sorted.
  std::vector<std::string> entries() const;

 private:
  std::filesystem::path path_;
};

std::vector<unsigned char> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes);

// ---------------------------------------------------------------------------
// Dictionary records as they are in the file (little-endian files only).

struct RawVariable {
  std::int32_t type = 0;  // 0 numeric, else string width
  std::int32_t print = 0;
  std::int32_t write = 0;
  std::string shortName;  // blanks removed
  std::string label;
};

struct RawDictionary {
  std::string magic;
  std::int32_t compression = 0;
  std::int32_t caseCount = 0;
  std::string fileLabel;  // trailing blanks removed
  std::vector<RawVariable> variables;  // continuation records left out
  std::map<std::string, std::string> longNames;  // short name -> full name
  std::uint64_t dataOffset = 0;  // 0 when no termination record was found
  std::uint64_t terminationOffset = 0;
  std::uint64_t firstVariableOffset = 0;
};

RawDictionary decodeDictionary(const std::vector<unsigned char>& bytes);

// The format code of a variable record for type, width and decimals.
std::int32_t formatCode(int type, int width, int decimals);

// ---------------------------------------------------------------------------
// Cells and whole files through the library.

using Cell = std::variant<double, std::string>;

struct Format {
  int type = 5;
  int width = 8;
  int decimals = 2;
};

struct VariableSpec {
  VariableSpec(std::string name_, int length_, std::string label_ = "",
               std::optional<Format> print_ = std::nullopt,
               std::optional<Format> write_ = std::nullopt)
      : name(std::move(name_)), length(length_), label(std::move(label_)), print(print_),
        write(write_) {}

  std::string name;
  int length = 0;  // length code: 0 numeric
  std::string label;
  std::optional<Format> print;
  std::optional<Format> write;
};

struct FilePlan {
  std::string fileLabel;
  int compression = 0;
  std::vector<VariableSpec> variables;
  std::vector<std::vector<Cell>> cases;
};

// Writes plan through the C API; returns the first status other than SAV_OK
// (warnings included) together with the call that gave it, or "" when all
// calls succeeded. Label warnings (-1, -2) are recorded in `warnings`.
struct WriteOutcome {
  std::string failedCall;
  int status = 0;
  std::vector<int> warnings;
};
WriteOutcome writeFile(const std::string& path, const FilePlan& plan);

struct ReadVariable {
  std::string name;
  int type = 0;
};

struct ReadFile {
  int caseCount = 0;  // sav_get_number_of_cases
  std::vector<ReadVariable> variables;
  std::vector<std::vector<Cell>> cases;  // strings as returned (padded)
  int endStatus = 0;  // what sav_read_case_record returned after the cases
};

// Reads everything through the C API; the status of the first call that
// failed is in `status` (0 on success).
struct ReadOutcome {
  int status = 0;
  std::string failedCall;
  ReadFile file;
};
ReadOutcome readFile(const std::string& path);

// ---------------------------------------------------------------------------
// The same file as ReadStat reports it, without the library.

struct ReadStatVariable {
  std::string name;
  std::string format;
  std::string label;
  bool isString = false;
};

struct ReadStatFile {
  int error = 0;
  std::string fileLabel;
  int rowCount = 0;
  std::vector<ReadStatVariable> variables;
  std::vector<std::vector<Cell>> rows;  // system-missing as NaN
};

ReadStatFile readWithReadStat(const std::string& path);

// ---------------------------------------------------------------------------
// PSPP.

bool psppAvailable();

struct PsppRun {
  int exitCode = -1;
  std::string csv;  // the output in CSV form
  std::string log;  // everything PSPP printed
};

// Runs syntax with PSPP in folder, the output as CSV.
PsppRun runPspp(const std::filesystem::path& folder, const std::string& syntax);

// The rows (header first) of the table titled `title` in PSPP's CSV output.
std::vector<std::vector<std::string>> csvTable(const std::string& csv, const std::string& title);

// The column of a table by its header name.
std::vector<std::string> csvColumn(const std::vector<std::vector<std::string>>& table,
                                   const std::string& header);

}  // namespace savtest
