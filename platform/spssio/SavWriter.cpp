#include "platform/spssio/SavWriter.h"

#include "platform/spssio/SavDataFileLibrary.h"
#include "platform/spssio/SavDictionaryEditor.h"
#include "platform/spssio/SavShortNameTable.h"
#include "platform/spssio/SavText.h"
#include "platform/spssio/SavVariableHandle.h"
#include "platform/spssio/SavVariableName.h"
#include "common/Utf8.h"

#include <readstat.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <new>

namespace korvana::sav {

namespace {

constexpr double kSystemMissing = -DBL_MAX;

// Where ReadStat's output goes. The dictionary is held back until it is
// complete (ReadStat writes it when the first case starts, or at the end when
// there are none), corrected, and then passed on with everything after it.
struct OutputSink {
  SavOutputFile* file = nullptr;
  const std::vector<SavDictionaryEditor::Variable>* corrections = nullptr;
  std::vector<unsigned char> held;
  bool holding = true;
  bool failed = false;
  bool outOfMemory = false;

  bool releaseDictionary() {
    if (!holding) return !failed;
    holding = false;
    if (failed || !SavDictionaryEditor::rewrite(held, *corrections) ||
        !file->write(held.data(), held.size())) {
      failed = true;
    }
    std::vector<unsigned char>().swap(held);
    return !failed;
  }
};

ssize_t sinkWrite(const void* data, size_t length, void* context) {
  auto* sink = static_cast<OutputSink*>(context);
  if (sink->failed) return -1;
  const auto* bytes = static_cast<const unsigned char*>(data);
  if (sink->holding) {
    try {
      sink->held.insert(sink->held.end(), bytes, bytes + length);
    } catch (const std::bad_alloc&) {
      sink->failed = true;
      sink->outOfMemory = true;
      return -1;
    }
  } else if (!sink->file->write(bytes, length)) {
    sink->failed = true;
    return -1;
  }
  return static_cast<ssize_t>(length);
}

struct WriterDeleter {
  void operator()(readstat_writer_t* writer) const { readstat_writer_free(writer); }
};

}  // namespace

int SavWriter::create(const char* path, std::unique_ptr<SavWriter>& result) {
  std::unique_ptr<SavOutputFile> output;
  const int status = SavOutputFile::create(path, output);
  if (status != SAV_OK) return status;
  std::unique_ptr<SavWriter> writer(new SavWriter());
  writer->output_ = std::move(output);
  result = std::move(writer);
  return SAV_OK;
}

int SavWriter::setFileLabel(const char* label) {
  if (committed_) return SAV_DICTIONARY_COMMITTED;
  const std::string_view text = SavText::view(label);
  fileLabel_ = SavText::utf8Prefix(text, SAV_MAX_FILE_LABEL_LENGTH);
  return fileLabel_.size() < text.size() ? SAV_FILE_LABEL_SHORTENED : SAV_OK;
}

int SavWriter::setCompression(int compressionSwitch) {
  if (committed_) return SAV_DICTIONARY_COMMITTED;
  if (compressionSwitch != 0 && compressionSwitch != 1) return SAV_INVALID_COMPRESSION;
  compressed_ = compressionSwitch == 1;
  return SAV_OK;
}

int SavWriter::addVariable(const char* name, int lengthCode) {
  if (committed_) return SAV_DICTIONARY_COMMITTED;
  if (name == nullptr || !SavVariableName::isValid(name)) return SAV_INVALID_VARIABLE_NAME;
  if (lengthCode < 0 || lengthCode > SAV_MAX_SHORT_STRING) return SAV_INVALID_LENGTH_CODE;
  std::string upper = SavText::upperCase(name);
  if (positionByUpperName_.count(upper) != 0) return SAV_DUPLICATE_VARIABLE;
  if (variables_.size() >= SavVariableHandle::kMaxVariables) return SAV_NO_MEMORY;
  Variable variable;
  variable.name = name;
  variable.width = lengthCode;
  variable.print = SavFormat::defaultFor(lengthCode);
  variable.write = variable.print;
  variables_.push_back(std::move(variable));
  try {
    positionByUpperName_.emplace(std::move(upper), variables_.size() - 1);
  } catch (...) {
    variables_.pop_back();
    throw;
  }
  return SAV_OK;
}

std::optional<std::size_t> SavWriter::findVariable(std::string_view name) const {
  const auto found = positionByUpperName_.find(SavText::upperCase(name));
  if (found == positionByUpperName_.end()) return std::nullopt;
  return found->second;
}

int SavWriter::setVariableLabel(const char* name, const char* label) {
  if (committed_) return SAV_DICTIONARY_COMMITTED;
  if (name == nullptr) return SAV_INVALID_VARIABLE_NAME;
  const auto position = findVariable(name);
  if (!position) return SAV_VARIABLE_NOT_FOUND;
  const std::string_view text = SavText::view(label);
  std::string& stored = variables_[*position].label;
  stored = SavText::utf8Prefix(text, SAV_MAX_VAR_LABEL_LENGTH);
  return stored.size() < text.size() ? SAV_VAR_LABEL_SHORTENED : SAV_OK;
}

int SavWriter::setStringValueLabel(const char* name, const char* value, const char* label) {
  if (committed_) return SAV_DICTIONARY_COMMITTED;
  if (name == nullptr) return SAV_INVALID_VARIABLE_NAME;
  const auto position = findVariable(name);
  if (!position) return SAV_VARIABLE_NOT_FOUND;
  Variable& variable = variables_[*position];
  if (variable.width == 0) return SAV_VARIABLE_NOT_STRING;
  const std::string_view key = SavText::trimTrailingBlanks(SavText::view(value));
  if (key.size() > static_cast<std::size_t>(variable.width)) return SAV_VALUE_TOO_LONG;
  const std::string_view text = SavText::view(label);
  if (!utf8::isWellFormed(key) || !utf8::isWellFormed(text)) return SAV_INVALID_TEXT;
  std::string stored(SavText::utf8Prefix(text, SAV_MAX_VALUE_LABEL_LENGTH));
  const bool shortened = stored.size() < text.size();
  const auto existing = std::find_if(variable.valueLabels.begin(), variable.valueLabels.end(),
                                     [&](const auto& entry) { return entry.first == key; });
  if (existing != variable.valueLabels.end()) {
    existing->second = std::move(stored);
  } else {
    variable.valueLabels.emplace_back(std::string(key), std::move(stored));
  }
  return shortened ? SAV_VALUE_LABEL_SHORTENED : SAV_OK;
}

int SavWriter::setFormat(const char* name, int type, int decimals, int width, bool print) {
  if (committed_) return SAV_DICTIONARY_COMMITTED;
  if (name == nullptr) return SAV_INVALID_VARIABLE_NAME;
  const auto position = findVariable(name);
  if (!position) return SAV_VARIABLE_NOT_FOUND;
  Variable& variable = variables_[*position];
  if (!SavFormat::isValidFor(type, width, decimals, variable.width)) {
    return print ? SAV_INVALID_PRINT_FORMAT : SAV_INVALID_WRITE_FORMAT;
  }
  (print ? variable.print : variable.write) = SavFormat(type, width, decimals);
  return SAV_OK;
}

int SavWriter::commitHeader() {
  if (committed_) return SAV_DICTIONARY_COMMITTED;
  if (variables_.empty()) return SAV_NO_VARIABLES;
  std::vector<int> widths;
  widths.reserve(variables_.size());
  for (const Variable& variable : variables_) widths.push_back(variable.width);
  auto cases = std::make_unique<SavCaseStore>(widths);
  auto current = std::make_unique<SavCaseStore>(std::move(widths));
  current->appendBlankCase();
  cases_ = std::move(cases);
  current_ = std::move(current);
  committed_ = true;
  return SAV_OK;
}

int SavWriter::setNumeric(std::size_t variable, double value) {
  if (!committed_) return SAV_DICTIONARY_NOT_COMMITTED;
  if (variables_[variable].width != 0) return SAV_VARIABLE_NOT_NUMERIC;
  current_->setNumeric(0, variable, value);
  return SAV_OK;
}

int SavWriter::setString(std::size_t variable, const char* value) {
  if (!committed_) return SAV_DICTIONARY_NOT_COMMITTED;
  const int width = variables_[variable].width;
  if (width == 0) return SAV_VARIABLE_NOT_STRING;
  // Blanks beyond the width are padding, not part of the value.
  const std::string_view text = SavText::view(value);
  const std::string_view kept =
      text.size() > static_cast<std::size_t>(width) ? SavText::trimTrailingBlanks(text) : text;
  if (kept.size() > static_cast<std::size_t>(width)) return SAV_VALUE_TOO_LONG;
  if (!utf8::isWellFormed(kept)) return SAV_INVALID_TEXT;
  current_->setString(0, variable, kept);
  return SAV_OK;
}

int SavWriter::commitCase() {
  if (!committed_) return SAV_DICTIONARY_NOT_COMMITTED;
  if (cases_->caseCount() >= kMaxCases) return SAV_FILE_WRITE_ERROR;
  cases_->appendCopy(*current_, 0);
  current_->clearCase(0);
  return SAV_OK;
}

int SavWriter::close() {
  if (!committed_) {
    output_->discard();
    return SAV_DICTIONARY_NOT_COMMITTED;
  }
  int status = SAV_INTERNAL_ERROR;
  try {
    status = writeFile();
  } catch (const std::bad_alloc&) {
    status = SAV_NO_MEMORY;
  } catch (...) {
    status = SAV_FILE_WRITE_ERROR;
  }
  if (status == SAV_OK) return output_->commit();
  output_->discard();
  return status;
}

int SavWriter::writeFile() {
  std::vector<std::string> names;
  names.reserve(variables_.size());
  for (const Variable& variable : variables_) names.push_back(variable.name);
  const std::vector<std::string> shortNames = SavShortNameTable::assign(names);

  std::vector<SavDictionaryEditor::Variable> corrections;
  corrections.reserve(variables_.size());
  for (std::size_t i = 0; i < variables_.size(); ++i) {
    corrections.push_back({shortNames[i], variables_[i].name, variables_[i].print.encoded(),
                           variables_[i].write.encoded(), variables_[i].width});
  }
  OutputSink sink;
  sink.file = output_.get();
  sink.corrections = &corrections;

  std::unique_ptr<readstat_writer_t, WriterDeleter> writer(readstat_writer_init());
  if (!writer) return SAV_NO_MEMORY;
  readstat_set_data_writer(writer.get(), sinkWrite);
  readstat_writer_set_compression(writer.get(),
                                  compressed_ ? READSTAT_COMPRESS_ROWS : READSTAT_COMPRESS_NONE);
  readstat_writer_set_file_label(writer.get(), fileLabel_.c_str());

  std::vector<readstat_variable_t*> columns;
  columns.reserve(variables_.size());
  for (std::size_t i = 0; i < variables_.size(); ++i) {
    const Variable& variable = variables_[i];
    const bool isString = variable.width > 0;
    readstat_variable_t* column = readstat_add_variable(
        writer.get(), shortNames[i].c_str(), isString ? READSTAT_TYPE_STRING : READSTAT_TYPE_DOUBLE,
        static_cast<size_t>(variable.width));
    if (column == nullptr) return SAV_NO_MEMORY;
    readstat_variable_set_format(column, variable.print.text().c_str());
    readstat_variable_set_label(column, variable.label.c_str());
    readstat_variable_set_measure(column, isString ? READSTAT_MEASURE_NOMINAL : READSTAT_MEASURE_SCALE);
    readstat_variable_set_alignment(column,
                                    isString ? READSTAT_ALIGNMENT_LEFT : READSTAT_ALIGNMENT_RIGHT);
    readstat_variable_set_display_width(column, std::min(variable.print.width(), 32));
    if (!variable.valueLabels.empty()) {
      // One label set per variable; ReadStat names it, the file does not.
      const std::string setName = "labels" + std::to_string(i);
      readstat_label_set_t* labels =
          readstat_add_label_set(writer.get(), READSTAT_TYPE_STRING, setName.c_str());
      if (labels == nullptr) return SAV_NO_MEMORY;
      for (const auto& [value, label] : variable.valueLabels) {
        readstat_label_string_value(labels, value.c_str(), label.c_str());
      }
      readstat_variable_set_label_set(column, labels);
    }
    columns.push_back(column);
  }

  const std::uint64_t caseCount = cases_->caseCount();
  const auto mapError = [&](readstat_error_t error) {
    return (error == READSTAT_ERROR_MALLOC || sink.outOfMemory) ? SAV_NO_MEMORY
                                                                : SAV_FILE_WRITE_ERROR;
  };
  readstat_error_t error =
      readstat_begin_writing_sav(writer.get(), &sink, static_cast<long>(caseCount));
  if (error != READSTAT_OK) return mapError(error);

  std::string text;
  for (std::uint64_t c = 0; c < caseCount; ++c) {
    // After a failed row start ReadStat must not be given values.
    error = readstat_begin_row(writer.get());
    if (error != READSTAT_OK) return mapError(error);
    if (c == 0 && !sink.releaseDictionary()) return mapError(READSTAT_ERROR_WRITE);
    for (std::size_t i = 0; i < variables_.size() && error == READSTAT_OK; ++i) {
      if (variables_[i].width == 0) {
        const double value = cases_->numeric(c, i);
        error = (value == kSystemMissing || std::isnan(value))
                    ? readstat_insert_missing_value(writer.get(), columns[i])
                    : readstat_insert_double_value(writer.get(), columns[i], value);
      } else {
        text = SavText::trimTrailingBlanks(cases_->string(c, i));
        error = readstat_insert_string_value(writer.get(), columns[i], text.c_str());
      }
    }
    if (error != READSTAT_OK) return mapError(error);
    error = readstat_end_row(writer.get());
    if (error != READSTAT_OK) return mapError(error);
  }
  error = readstat_end_writing(writer.get());
  if (error != READSTAT_OK) return mapError(error);
  if (!sink.releaseDictionary() || sink.failed || output_->failed()) {
    return mapError(READSTAT_ERROR_WRITE);
  }
  return SAV_OK;
}

}  // namespace korvana::sav
