#include "SavTestSupport.h"

#include "platform/spssio/SavDataFileLibrary.h"

#include <readstat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace savtest {

namespace fs = std::filesystem;

TemporaryFolder::TemporaryFolder() {
  std::string pattern = (fs::temp_directory_path() / "korvana-sav-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

std::vector<std::string> TemporaryFolder::entries() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<unsigned char> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

// ---------------------------------------------------------------------------

namespace {

std::int32_t int32At(const std::vector<unsigned char>& bytes, std::uint64_t offset) {
  if (offset + 4 > bytes.size()) throw std::out_of_range("record beyond the end");
  std::int32_t value = 0;
  std::memcpy(&value, bytes.data() + offset, 4);
  return value;
}

std::string textAt(const std::vector<unsigned char>& bytes, std::uint64_t offset, std::size_t length) {
  if (offset + length > bytes.size()) throw std::out_of_range("text beyond the end");
  return {reinterpret_cast<const char*>(bytes.data() + offset), length};
}

std::string trimRight(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

std::int32_t formatCode(int type, int width, int decimals) {
  return (type << 16) | (width << 8) | decimals;
}

RawDictionary decodeDictionary(const std::vector<unsigned char>& bytes) {
  RawDictionary dictionary;
  dictionary.magic = textAt(bytes, 0, 4);
  dictionary.compression = int32At(bytes, 72);
  dictionary.caseCount = int32At(bytes, 80);
  dictionary.fileLabel = trimRight(textAt(bytes, 109, 64));
  std::uint64_t pos = 176;
  while (pos + 4 <= bytes.size()) {
    const std::int32_t type = int32At(bytes, pos);
    if (type == 2) {
      RawVariable variable;
      variable.type = int32At(bytes, pos + 4);
      const std::int32_t hasLabel = int32At(bytes, pos + 8);
      const std::int32_t missing = int32At(bytes, pos + 12);
      variable.print = int32At(bytes, pos + 16);
      variable.write = int32At(bytes, pos + 20);
      variable.shortName = trimRight(textAt(bytes, pos + 24, 8));
      if (dictionary.firstVariableOffset == 0) dictionary.firstVariableOffset = pos;
      pos += 32;
      if (hasLabel == 1) {
        const std::int32_t length = int32At(bytes, pos);
        variable.label = textAt(bytes, pos + 4, static_cast<std::size_t>(length));
        pos += 4 + (static_cast<std::uint64_t>(length) + 3) / 4 * 4;
      }
      pos += 8 * static_cast<std::uint64_t>(std::abs(missing));
      if (variable.type >= 0) dictionary.variables.push_back(variable);
    } else if (type == 3) {
      const std::int32_t count = int32At(bytes, pos + 4);
      pos += 8;
      for (std::int32_t i = 0; i < count; ++i) {
        const unsigned length = bytes.at(pos + 8);
        pos += 8 + (1 + length + 7) / 8 * 8;
      }
      if (int32At(bytes, pos) != 4) throw std::runtime_error("value labels without type 4");
      pos += 8 + 4 * static_cast<std::uint64_t>(int32At(bytes, pos + 4));
    } else if (type == 6) {
      pos += 8 + 80 * static_cast<std::uint64_t>(int32At(bytes, pos + 4));
    } else if (type == 7) {
      const std::int32_t subtype = int32At(bytes, pos + 4);
      const auto length = static_cast<std::uint64_t>(int32At(bytes, pos + 8)) *
                          static_cast<std::uint64_t>(int32At(bytes, pos + 12));
      if (subtype == 13) {
        std::istringstream pairs(textAt(bytes, pos + 16, static_cast<std::size_t>(length)));
        std::string pair;
        while (std::getline(pairs, pair, '\t')) {
          const std::size_t equals = pair.find('=');
          if (equals != std::string::npos) {
            dictionary.longNames[pair.substr(0, equals)] = pair.substr(equals + 1);
          }
        }
      }
      pos += 16 + length;
    } else if (type == 999) {
      dictionary.terminationOffset = pos;
      dictionary.dataOffset = pos + 8;
      break;
    } else {
      break;
    }
  }
  return dictionary;
}

// ---------------------------------------------------------------------------

WriteOutcome writeFile(const std::string& path, const FilePlan& plan) {
  WriteOutcome outcome;
  int handle = -1;
  const auto failed = [&](const std::string& call, int status) {
    outcome.failedCall = call;
    outcome.status = status;
    if (handle >= 0) sav_close_write(handle);
    return outcome;
  };
  int status = sav_open_write(path.c_str(), &handle);
  if (status != SAV_OK) {
    handle = -1;
    return failed("sav_open_write", status);
  }
  if (!plan.fileLabel.empty()) {
    status = sav_set_file_label(handle, plan.fileLabel.c_str());
    if (status < 0) outcome.warnings.push_back(status);
    if (status > 0) return failed("sav_set_file_label", status);
  }
  status = sav_set_compression(handle, plan.compression);
  if (status != SAV_OK) return failed("sav_set_compression", status);
  for (const VariableSpec& variable : plan.variables) {
    status = sav_set_var_name(handle, variable.name.c_str(), variable.length);
    if (status != SAV_OK) return failed("sav_set_var_name " + variable.name, status);
    if (!variable.label.empty()) {
      status = sav_set_var_label(handle, variable.name.c_str(), variable.label.c_str());
      if (status < 0) outcome.warnings.push_back(status);
      if (status > 0) return failed("sav_set_var_label " + variable.name, status);
    }
    if (variable.print) {
      const Format& f = *variable.print;
      status = sav_set_var_print_format(handle, variable.name.c_str(), f.type, f.decimals, f.width);
      if (status != SAV_OK) return failed("sav_set_var_print_format " + variable.name, status);
    }
    if (variable.write) {
      const Format& f = *variable.write;
      status = sav_set_var_write_format(handle, variable.name.c_str(), f.type, f.decimals, f.width);
      if (status != SAV_OK) return failed("sav_set_var_write_format " + variable.name, status);
    }
  }
  status = sav_commit_header(handle);
  if (status != SAV_OK) return failed("sav_commit_header", status);
  std::vector<double> handles(plan.variables.size());
  for (std::size_t i = 0; i < plan.variables.size(); ++i) {
    status = sav_get_var_handle(handle, plan.variables[i].name.c_str(), &handles[i]);
    if (status != SAV_OK) return failed("sav_get_var_handle", status);
  }
  for (const std::vector<Cell>& row : plan.cases) {
    for (std::size_t i = 0; i < row.size() && i < handles.size(); ++i) {
      if (const double* number = std::get_if<double>(&row[i])) {
        status = sav_set_value_numeric(handle, handles[i], *number);
        if (status != SAV_OK) return failed("sav_set_value_numeric", status);
      } else {
        status = sav_set_value_char(handle, handles[i], std::get<std::string>(row[i]).c_str());
        if (status != SAV_OK) return failed("sav_set_value_char", status);
      }
    }
    status = sav_commit_case_record(handle);
    if (status != SAV_OK) return failed("sav_commit_case_record", status);
  }
  status = sav_close_write(handle);
  handle = -1;
  if (status != SAV_OK) return failed("sav_close_write", status);
  return outcome;
}

ReadOutcome readFile(const std::string& path) {
  ReadOutcome outcome;
  int handle = -1;
  const auto failed = [&](const std::string& call, int status) {
    outcome.failedCall = call;
    outcome.status = status;
    if (handle >= 0) sav_close_read(handle);
    return outcome;
  };
  int status = sav_open_read(path.c_str(), &handle);
  if (status != SAV_OK) {
    handle = -1;
    return failed("sav_open_read", status);
  }
  int count = 0;
  char** names = nullptr;
  int* types = nullptr;
  status = sav_get_var_names(handle, &count, &names, &types);
  if (status != SAV_OK) return failed("sav_get_var_names", status);
  for (int i = 0; i < count; ++i) outcome.file.variables.push_back({names[i], types[i]});
  status = sav_free_var_names(names, types, count);
  if (status != SAV_OK) return failed("sav_free_var_names", status);
  status = sav_get_number_of_cases(handle, &outcome.file.caseCount);
  if (status != SAV_OK) return failed("sav_get_number_of_cases", status);
  std::vector<double> handles(outcome.file.variables.size());
  for (std::size_t i = 0; i < handles.size(); ++i) {
    status = sav_get_var_handle(handle, outcome.file.variables[i].name.c_str(), &handles[i]);
    if (status != SAV_OK) return failed("sav_get_var_handle", status);
  }
  while ((status = sav_read_case_record(handle)) == SAV_OK) {
    std::vector<Cell> row;
    for (std::size_t i = 0; i < handles.size(); ++i) {
      const int width = outcome.file.variables[i].type;
      if (width == 0) {
        double value = 0;
        status = sav_get_value_numeric(handle, handles[i], &value);
        if (status != SAV_OK) return failed("sav_get_value_numeric", status);
        row.emplace_back(value);
      } else {
        std::string buffer(static_cast<std::size_t>(width) + 1, '\x7f');
        status = sav_get_value_char(handle, handles[i], buffer.data(), width + 1);
        if (status != SAV_OK) return failed("sav_get_value_char", status);
        row.emplace_back(std::string(buffer.c_str()));
      }
    }
    outcome.file.cases.push_back(std::move(row));
  }
  outcome.file.endStatus = status;
  status = sav_close_read(handle);
  handle = -1;
  if (status != SAV_OK) return failed("sav_close_read", status);
  return outcome;
}

// ---------------------------------------------------------------------------

namespace {

int onReadStatMetadata(readstat_metadata_t* metadata, void* context) {
  auto* file = static_cast<ReadStatFile*>(context);
  const char* label = readstat_get_file_label(metadata);
  file->fileLabel = label == nullptr ? "" : label;
  file->rowCount = readstat_get_row_count(metadata);
  return READSTAT_HANDLER_OK;
}

int onReadStatVariable(int, readstat_variable_t* variable, const char*, void* context) {
  auto* file = static_cast<ReadStatFile*>(context);
  ReadStatVariable entry;
  entry.name = readstat_variable_get_name(variable);
  const char* format = readstat_variable_get_format(variable);
  entry.format = format == nullptr ? "" : format;
  const char* label = readstat_variable_get_label(variable);
  entry.label = label == nullptr ? "" : label;
  entry.isString = readstat_variable_get_type_class(variable) == READSTAT_TYPE_CLASS_STRING;
  file->variables.push_back(entry);
  return READSTAT_HANDLER_OK;
}

int onReadStatValue(int row, readstat_variable_t* variable, readstat_value_t value, void* context) {
  auto* file = static_cast<ReadStatFile*>(context);
  if (static_cast<std::size_t>(row) >= file->rows.size()) file->rows.resize(static_cast<std::size_t>(row) + 1);
  auto& cells = file->rows[static_cast<std::size_t>(row)];
  const auto index = static_cast<std::size_t>(readstat_variable_get_index(variable));
  if (cells.size() <= index) cells.resize(index + 1);
  if (readstat_value_type(value) == READSTAT_TYPE_STRING) {
    const char* text = readstat_string_value(value);
    cells[index] = std::string(text == nullptr ? "" : text);
  } else {
    cells[index] = value.v.double_value;
  }
  return READSTAT_HANDLER_OK;
}

}  // namespace

ReadStatFile readWithReadStat(const std::string& path) {
  ReadStatFile file;
  readstat_parser_t* parser = readstat_parser_init();
  readstat_set_metadata_handler(parser, onReadStatMetadata);
  readstat_set_variable_handler(parser, onReadStatVariable);
  readstat_set_value_handler(parser, onReadStatValue);
  file.error = readstat_parse_sav(parser, path.c_str(), &file);
  readstat_parser_free(parser);
  return file;
}

// ---------------------------------------------------------------------------

bool psppAvailable() { return ::access(KORVANA_PSPP_PROGRAM, X_OK) == 0; }

PsppRun runPspp(const fs::path& folder, const std::string& syntax) {
  PsppRun run;
  const fs::path script = folder / "run.sps";
  const fs::path output = folder / "out.csv";
  const fs::path log = folder / "pspp.log";
  {
    std::ofstream out(script);
    out << syntax;
  }
  fs::remove(output);
  const std::string command = "cd '" + folder.string() + "' && '" KORVANA_PSPP_PROGRAM
                              "' -O format=csv -o '" + output.string() + "' '" + script.string() +
                              "' > '" + log.string() + "' 2>&1";
  const int status = std::system(command.c_str());
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const auto slurp = [](const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  run.csv = slurp(output);
  run.log = slurp(log);
  return run;
}

namespace {

// All records of CSV text: quoted fields may hold commas, quotes ("") and
// line breaks.
std::vector<std::vector<std::string>> csvRecords(const std::string& text) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record;
  std::string field;
  bool quoted = false;
  bool fieldStarted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
      fieldStarted = true;
    } else if (c == ',') {
      record.push_back(field);
      field.clear();
      fieldStarted = true;
    } else if (c == '\n') {
      if (fieldStarted || !field.empty()) record.push_back(field);
      records.push_back(record);
      record.clear();
      field.clear();
      fieldStarted = false;
    } else if (c != '\r') {
      field += c;
      fieldStarted = true;
    }
  }
  if (fieldStarted || !field.empty()) record.push_back(field);
  if (!record.empty()) records.push_back(record);
  return records;
}

}  // namespace

std::vector<std::vector<std::string>> csvTable(const std::string& csv, const std::string& title) {
  const auto records = csvRecords(csv);
  std::vector<std::vector<std::string>> table;
  bool inside = false;
  for (const auto& record : records) {
    if (!inside) {
      inside = record.size() == 1 && record[0] == "Table: " + title;
      continue;
    }
    if (record.empty()) break;
    table.push_back(record);
  }
  return table;
}

std::vector<std::string> csvColumn(const std::vector<std::vector<std::string>>& table,
                                   const std::string& header) {
  std::vector<std::string> column;
  if (table.empty()) return column;
  const auto found = std::find(table[0].begin(), table[0].end(), header);
  if (found == table[0].end()) return column;
  const auto index = static_cast<std::size_t>(found - table[0].begin());
  for (std::size_t row = 1; row < table.size(); ++row) {
    column.push_back(index < table[row].size() ? table[row][index] : std::string());
  }
  return column;
}

}  // namespace savtest
