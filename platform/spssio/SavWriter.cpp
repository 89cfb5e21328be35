#include "platform/spssio/SavWriter.h"

#include "platform/spssio/SavByteSource.h"
#include "platform/spssio/SavDataExtent.h"
#include "platform/spssio/SavDataFileLibrary.h"
#include "platform/spssio/SavDictionaryEditor.h"
#include "platform/spssio/SavDictionaryLayout.h"
#include "platform/spssio/SavShortNameTable.h"
#include "platform/spssio/SavText.h"
#include "platform/spssio/SavVariableHandle.h"
#include "platform/spssio/SavVariableName.h"
#include "common/Utf8.h"

#include <readstat.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <new>

namespace korvana::sav {

namespace {

constexpr double kSystemMissing = -DBL_MAX;

// The number of cases the header and its dictionary record hold until close()
// knows the true one.
constexpr std::uint64_t kProvisionalCaseCount = SavWriter::kMaxCases;
// Where the header records the number of cases (a 32-bit integer), and where
// the record of subtype 16 does (a 64-bit integer after its header and a
// 64-bit 1).
constexpr std::uint64_t kHeaderCaseCountOffset = 80;
constexpr std::int32_t kSubtypeCaseCount = 16;
constexpr std::uint64_t kCaseCountInRecord = 16 + 8;

// Where ReadStat's output goes. The dictionary is held back until it is
// complete (ReadStat writes it when the first case starts, or at the end when
// there are none), corrected, and then passed on with everything after it.
struct OutputSink {
  SavOutputFile* file = nullptr;
  std::vector<unsigned char> held;
  bool holding = true;
  bool failed = false;
  bool outOfMemory = false;
  // Compressed cases: where the command block of the last case written has
  // its first free command, which ends the data once it is the last case.
  bool findsFreeCommand = false;
  std::uint64_t freeCommandOffset = 0;
};

constexpr unsigned char kCommandEndOfData = SavDataExtent::kCommandEnd;
constexpr unsigned char kCommandRaw = SavDataExtent::kCommandRaw;

// The offset in a compressed case of its first free (padding) command: each
// block of 8 commands is followed by the 8 bytes of each raw element it
// announces, and a full block is followed by a new one, so the last block
// always has room. Elements are never encoded as 0.
std::size_t freeCommandSlot(const unsigned char* bytes, std::size_t length) {
  std::size_t block = 0;
  while (block + 8 <= length) {
    std::size_t raw = 0;
    for (std::size_t k = 0; k < 8; ++k) {
      if (bytes[block + k] == 0) return block + k;
      if (bytes[block + k] == kCommandRaw) ++raw;
    }
    block += 8 + 8 * raw;
  }
  return length;
}

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
  } else {
    if (sink->findsFreeCommand) sink->freeCommandOffset = sink->file->size() + freeCommandSlot(bytes, length);
    if (!sink->file->write(bytes, length)) {
      sink->failed = true;
      return -1;
    }
  }
  return static_cast<ssize_t>(length);
}

struct WriterDeleter {
  void operator()(readstat_writer_t* writer) const { readstat_writer_free(writer); }
};

int statusOf(readstat_error_t error, const OutputSink& sink) {
  return (error == READSTAT_ERROR_MALLOC || sink.outOfMemory) ? SAV_NO_MEMORY : SAV_FILE_WRITE_ERROR;
}

}  // namespace

// ReadStat's writer for one file, with its variables and the corrections to
// the dictionary it writes.
struct SavWriter::Encoder {
  OutputSink sink;
  std::unique_ptr<readstat_writer_t, WriterDeleter> writer;
  std::vector<readstat_variable_t*> columns;
  std::vector<SavDictionaryEditor::Variable> corrections;
};

SavWriter::SavWriter() = default;
SavWriter::~SavWriter() = default;

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

int SavWriter::setSync(int syncSwitch) {
  if (syncSwitch != 0 && syncSwitch != 1) return SAV_INVALID_COMPRESSION;
  output_->setSynced(syncSwitch == 1);
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
  SavCaseRecord layout(widths);
  std::vector<char> current(layout.size());
  layout.clear(current.data());
  layout_.emplace(std::move(layout));
  current_ = std::move(current);
  committed_ = true;
  return SAV_OK;
}

int SavWriter::setNumeric(std::size_t variable, double value) {
  if (!committed_) return SAV_DICTIONARY_NOT_COMMITTED;
  if (variables_[variable].width != 0) return SAV_VARIABLE_NOT_NUMERIC;
  if (std::isnan(value)) value = kSystemMissing;
  startCase();
  std::memcpy(current_.data() + layout_->offset(variable), &value, sizeof value);
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
  startCase();
  char* cell = current_.data() + layout_->offset(variable);
  if (!kept.empty()) std::memcpy(cell, kept.data(), kept.size());  // a null value is empty
  std::memset(cell + kept.size(), ' ', SavCaseRecord::slotBytes(width) - kept.size());
  return SAV_OK;
}

int SavWriter::commitWholeCase(const char* record) {
  if (!committed_) return SAV_DICTIONARY_NOT_COMMITTED;
  if (record == nullptr) return SAV_INTERNAL_ERROR;
  for (std::size_t i = 0; i < variables_.size(); ++i) {
    const int width = variables_[i].width;
    if (width == 0) continue;
    const std::string_view slot(record + layout_->offset(i), SavCaseRecord::slotBytes(width));
    const std::string_view value = SavText::trimTrailingBlanks(slot);
    if (value.size() > static_cast<std::size_t>(width)) return SAV_VALUE_TOO_LONG;
    if (!utf8::isWellFormed(value)) return SAV_INVALID_TEXT;
  }
  layout_->copyNormalized(record, current_.data());
  blankPending_ = false;
  return commitCase();
}

void SavWriter::startCase() {
  if (!blankPending_) return;
  layout_->clear(current_.data());
  blankPending_ = false;
}

int SavWriter::commitCase() {
  if (!committed_) return SAV_DICTIONARY_NOT_COMMITTED;
  if (caseCount_ >= kMaxCases || output_->failed()) return SAV_FILE_WRITE_ERROR;
  startCase();
  readstat_writer_t* writer = nullptr;
  if (!encoder_) {
    // The first case: ReadStat writes the dictionary when it starts.
    const int status = startEncoder(kProvisionalCaseCount);
    if (status != SAV_OK) return status;
    writer = encoder_->writer.get();
    const readstat_error_t error = readstat_begin_row(writer);
    if (error != READSTAT_OK) return statusOf(error, encoder_->sink);
    const int released = releaseDictionary();
    if (released != SAV_OK) return released;
    encoder_->sink.findsFreeCommand = compressed_;
  } else if (compressed_) {
    writer = encoder_->writer.get();
    const readstat_error_t error = readstat_begin_row(writer);
    if (error != READSTAT_OK) return statusOf(error, encoder_->sink);
  }
  if (compressed_) {
    std::string text;
    readstat_error_t error = READSTAT_OK;
    for (std::size_t i = 0; i < variables_.size() && error == READSTAT_OK; ++i) {
      readstat_variable_t* column = encoder_->columns[i];
      if (variables_[i].width == 0) {
        const double value = layout_->numeric(current_.data(), i);
        error = value == kSystemMissing ? readstat_insert_missing_value(writer, column)
                                        : readstat_insert_double_value(writer, column, value);
      } else {
        text = SavText::trimTrailingBlanks(layout_->string(current_.data(), i));
        error = readstat_insert_string_value(writer, column, text.c_str());
      }
    }
    if (error == READSTAT_OK) error = readstat_end_row(writer);
    if (error != READSTAT_OK || encoder_->sink.failed) return statusOf(error, encoder_->sink);
  } else if (!output_->write(current_.data(), current_.size())) {
    return SAV_FILE_WRITE_ERROR;
  }
  ++caseCount_;
  // The next case starts blank: cleared once a value is set, unless it is
  // given whole.
  blankPending_ = true;
  return SAV_OK;
}

int SavWriter::close() {
  if (!committed_) {
    output_->discard();
    return SAV_DICTIONARY_NOT_COMMITTED;
  }
  int status = SAV_INTERNAL_ERROR;
  try {
    if (caseCount_ == 0) status = writeEmptyFile();
    else status = recordCaseCount() ? SAV_OK : SAV_FILE_WRITE_ERROR;
  } catch (const std::bad_alloc&) {
    status = SAV_NO_MEMORY;
  } catch (...) {
    status = SAV_FILE_WRITE_ERROR;
  }
  encoder_.reset();
  if (status == SAV_OK) return output_->commit();
  output_->discard();
  return status;
}

int SavWriter::startEncoder(std::uint64_t caseCount) {
  auto encoder = std::make_unique<Encoder>();
  std::vector<std::string> names;
  names.reserve(variables_.size());
  for (const Variable& variable : variables_) names.push_back(variable.name);
  const std::vector<std::string> shortNames = SavShortNameTable::assign(names);

  encoder->corrections.reserve(variables_.size());
  for (std::size_t i = 0; i < variables_.size(); ++i) {
    encoder->corrections.push_back({shortNames[i], variables_[i].name, variables_[i].print.encoded(),
                                    variables_[i].write.encoded(), variables_[i].width});
  }
  encoder->sink.file = output_.get();

  encoder->writer.reset(readstat_writer_init());
  readstat_writer_t* writer = encoder->writer.get();
  if (!writer) return SAV_NO_MEMORY;
  readstat_set_data_writer(writer, sinkWrite);
  readstat_writer_set_compression(writer, compressed_ ? READSTAT_COMPRESS_ROWS : READSTAT_COMPRESS_NONE);
  readstat_writer_set_file_label(writer, fileLabel_.c_str());

  encoder->columns.reserve(variables_.size());
  for (std::size_t i = 0; i < variables_.size(); ++i) {
    const Variable& variable = variables_[i];
    const bool isString = variable.width > 0;
    readstat_variable_t* column =
        readstat_add_variable(writer, shortNames[i].c_str(), isString ? READSTAT_TYPE_STRING : READSTAT_TYPE_DOUBLE,
                              static_cast<size_t>(variable.width));
    if (column == nullptr) return SAV_NO_MEMORY;
    readstat_variable_set_format(column, variable.print.text().c_str());
    readstat_variable_set_label(column, variable.label.c_str());
    readstat_variable_set_measure(column, isString ? READSTAT_MEASURE_NOMINAL : READSTAT_MEASURE_SCALE);
    readstat_variable_set_alignment(column, isString ? READSTAT_ALIGNMENT_LEFT : READSTAT_ALIGNMENT_RIGHT);
    readstat_variable_set_display_width(column, std::min(variable.print.width(), 32));
    if (!variable.valueLabels.empty()) {
      // One label set per variable; ReadStat names it, the file does not.
      const std::string setName = "labels" + std::to_string(i);
      readstat_label_set_t* labels = readstat_add_label_set(writer, READSTAT_TYPE_STRING, setName.c_str());
      if (labels == nullptr) return SAV_NO_MEMORY;
      for (const auto& [value, label] : variable.valueLabels) {
        readstat_label_string_value(labels, value.c_str(), label.c_str());
      }
      readstat_variable_set_label_set(column, labels);
    }
    encoder->columns.push_back(column);
  }
  const readstat_error_t error =
      readstat_begin_writing_sav(writer, &encoder->sink, static_cast<long>(caseCount));
  if (error != READSTAT_OK) return statusOf(error, encoder->sink);
  encoder_ = std::move(encoder);
  return SAV_OK;
}

int SavWriter::releaseDictionary() {
  OutputSink& sink = encoder_->sink;
  if (!sink.holding) return sink.failed ? SAV_FILE_WRITE_ERROR : SAV_OK;
  sink.holding = false;
  std::vector<unsigned char> held;
  held.swap(sink.held);
  if (sink.failed) return statusOf(READSTAT_ERROR_WRITE, sink);
  if (!SavDictionaryEditor::rewrite(held, encoder_->corrections)) return SAV_FILE_WRITE_ERROR;
  const SavByteSource source(std::span<const unsigned char>(held.data(), held.size()));
  const SavDictionaryLayout layout = SavDictionaryLayout::walk(source);
  headerCountOffset_ = kHeaderCaseCountOffset;
  for (const SavDictionaryLayout::ExtensionRecord& record : layout.extensionRecords)
    if (record.subtype == kSubtypeCaseCount && record.length >= kCaseCountInRecord + 8)
      recordCountOffset_ = record.offset + kCaseCountInRecord;
  if (!output_->write(held.data(), held.size())) {
    sink.failed = true;
    return SAV_FILE_WRITE_ERROR;
  }
  return SAV_OK;
}

int SavWriter::writeEmptyFile() {
  const int status = startEncoder(0);
  if (status != SAV_OK) return status;
  const readstat_error_t error = readstat_end_writing(encoder_->writer.get());
  if (error != READSTAT_OK) return statusOf(error, encoder_->sink);
  const int released = releaseDictionary();
  if (released != SAV_OK) return released;
  return output_->failed() ? SAV_FILE_WRITE_ERROR : SAV_OK;
}

bool SavWriter::recordCaseCount() {
  const auto count32 = static_cast<std::int32_t>(caseCount_);
  const std::uint64_t count64 = caseCount_;
  if (compressed_) {
    // The last case's first free command marks the end of the data, as ReadStat
    // marks it when it knows the case is the last.
    const OutputSink& sink = encoder_->sink;
    if (sink.freeCommandOffset < output_->size() &&
        !output_->overwrite(sink.freeCommandOffset, &kCommandEndOfData, 1))
      return false;
  }
  return output_->overwrite(headerCountOffset_, &count32, sizeof count32) &&
         (recordCountOffset_ == 0 || output_->overwrite(recordCountOffset_, &count64, sizeof count64));
}

}  // namespace korvana::sav
