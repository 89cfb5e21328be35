// The C functions of SavDataFileLibrary.h: each finds the open file, checks
// that the call fits its direction and state, and hands over to the file's
// SavReader or SavWriter. No exception leaves this file: running out of
// memory is SAV_NO_MEMORY, anything else unexpected SAV_INTERNAL_ERROR.
#include "platform/spssio/SavDataFileLibrary.h"

#include "platform/spssio/SavFileTable.h"
#include "platform/spssio/SavReader.h"
#include "platform/spssio/SavText.h"
#include "platform/spssio/SavVariableHandle.h"
#include "platform/spssio/SavWriter.h"

#include <cfloat>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

using korvana::sav::SavFileTable;
using korvana::sav::SavOpenFile;
using korvana::sav::SavReader;
using korvana::sav::SavText;
using korvana::sav::SavVariableHandle;
using korvana::sav::SavWriter;

template <typename Body>
int guarded(Body body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return SAV_NO_MEMORY;
  } catch (...) {
    return SAV_INTERNAL_ERROR;
  }
}

// The file behind a handle, for a reading call (reader) or a writing call
// (writer); status is set to the reason when there is none.
template <class Side>
Side* sideFor(int handle, std::unique_ptr<Side> SavOpenFile::*side, int wrongDirection, int& status) {
  SavOpenFile* file = SavFileTable::instance().find(handle);
  if (file == nullptr) {
    status = SAV_INVALID_HANDLE;
    return nullptr;
  }
  if (!(file->*side)) {
    status = wrongDirection;
    return nullptr;
  }
  return (file->*side).get();
}

SavReader* readerFor(int handle, int& status) {
  return sideFor(handle, &SavOpenFile::reader, SAV_OPEN_FOR_WRITING, status);
}

SavWriter* writerFor(int handle, int& status) {
  return sideFor(handle, &SavOpenFile::writer, SAV_OPEN_FOR_READING, status);
}

// The position of the variable a handle names in the file, or nullopt.
std::optional<std::size_t> positionOf(int handle, double variableHandle) {
  SavOpenFile* file = SavFileTable::instance().find(handle);
  if (file == nullptr) return std::nullopt;
  const std::size_t count =
      file->reader ? file->reader->variables().size() : file->writer->variableCount();
  const auto position = SavVariableHandle::decode(variableHandle, file->serial, count);
  if (!position) return std::nullopt;
  return static_cast<std::size_t>(*position);
}

/// Opens one side of a file with `open` and enters it in the file table,
/// setting *handle; the table is checked for room before the file is touched.
template <class Side, class Open>
int openHandle(int* handle, Open open) {
  return guarded([&]() -> int {
    if (handle == nullptr) return SAV_INTERNAL_ERROR;
    SavFileTable& table = SavFileTable::instance();
    if (table.full()) return SAV_FILE_TABLE_FULL;
    std::unique_ptr<Side> side;
    const int status = open(side);
    if (status != SAV_OK) return status;
    *handle = *table.add(std::move(side));
    return SAV_OK;
  });
}

}  // namespace

extern "C" {

int sav_open_read(const char* fileName, int* handle) {
  return openHandle<SavReader>(handle,
                               [&](std::unique_ptr<SavReader>& reader) { return SavReader::open(fileName, reader); });
}

int sav_get_var_names(int handle, int* numberOfVariables, char*** names, int** types) {
  return guarded([&]() -> int {
    int status = SAV_OK;
    const SavReader* reader = readerFor(handle, status);
    if (reader == nullptr) return status;
    if (numberOfVariables == nullptr || names == nullptr || types == nullptr) {
      return SAV_INTERNAL_ERROR;
    }
    const auto& variables = reader->variables();
    if (variables.empty()) return SAV_INVALID_FILE;
    const std::size_t count = variables.size();
    auto** nameArray = static_cast<char**>(std::calloc(count, sizeof(char*)));
    auto* typeArray = static_cast<int*>(std::calloc(count, sizeof(int)));
    bool ok = nameArray != nullptr && typeArray != nullptr;
    for (std::size_t i = 0; ok && i < count; ++i) {
      const std::string& name = variables[i].name;
      nameArray[i] = static_cast<char*>(std::malloc(name.size() + 1));
      ok = nameArray[i] != nullptr;
      if (ok) std::memcpy(nameArray[i], name.c_str(), name.size() + 1);
      typeArray[i] = variables[i].width;
    }
    if (!ok) {
      if (nameArray != nullptr) {
        for (std::size_t i = 0; i < count; ++i) std::free(nameArray[i]);
      }
      std::free(nameArray);
      std::free(typeArray);
      return SAV_NO_MEMORY;
    }
    *numberOfVariables = static_cast<int>(count);
    *names = nameArray;
    *types = typeArray;
    return SAV_OK;
  });
}

int sav_get_number_of_cases(int handle, int* numberOfCases) {
  return guarded([&]() -> int {
    int status = SAV_OK;
    const SavReader* reader = readerFor(handle, status);
    if (reader == nullptr) return status;
    if (numberOfCases == nullptr) return SAV_INTERNAL_ERROR;
    *numberOfCases = static_cast<int>(reader->reportedCaseCount());
    return SAV_OK;
  });
}

int sav_get_string_value_label(int handle, const char* variableName, const char* value,
                               char* label) {
  return guarded([&]() -> int {
    int status = SAV_OK;
    const SavReader* reader = readerFor(handle, status);
    if (reader == nullptr) return status;
    if (variableName == nullptr) return SAV_INVALID_VARIABLE_NAME;
    if (label == nullptr) return SAV_INTERNAL_ERROR;
    const auto position = reader->findVariable(variableName);
    if (!position) return SAV_VARIABLE_NOT_FOUND;
    const int width = reader->variables()[*position].width;
    if (width == 0) return SAV_VARIABLE_NOT_STRING;
    if (width > SAV_MAX_SHORT_STRING) return SAV_LONG_STRING;
    const std::string_view wanted = SavText::trimTrailingBlanks(SavText::view(value));
    if (wanted.size() > static_cast<std::size_t>(width)) return SAV_VALUE_TOO_LONG;
    const auto* labels = reader->valueLabels(*position);
    if (labels == nullptr) return SAV_NO_VALUE_LABELS;
    for (const SavReader::ValueLabel& entry : *labels) {
      if (entry.value == wanted) {
        SavText::copyToBuffer(entry.label, label, SAV_VALUE_LABEL_BUFFER);
        return SAV_OK;
      }
    }
    return SAV_NO_LABEL_FOR_VALUE;
  });
}

int sav_get_var_handle(int handle, const char* variableName, double* variableHandle) {
  return guarded([&]() -> int {
    SavOpenFile* file = SavFileTable::instance().find(handle);
    if (file == nullptr) return SAV_INVALID_HANDLE;
    if (variableName == nullptr) return SAV_INVALID_VARIABLE_NAME;
    if (variableHandle == nullptr) return SAV_INTERNAL_ERROR;
    // Variables of a file being written are reachable once its dictionary is.
    if (file->writer && !file->writer->committed()) return SAV_DICTIONARY_NOT_COMMITTED;
    const auto position = file->reader ? file->reader->findVariable(variableName)
                                       : file->writer->findVariable(variableName);
    if (!position) return SAV_VARIABLE_NOT_FOUND;
    *variableHandle = SavVariableHandle::encode(file->serial, *position);
    return SAV_OK;
  });
}

int sav_read_case_record(int handle) {
  return guarded([&]() -> int {
    int status = SAV_OK;
    SavReader* reader = readerFor(handle, status);
    if (reader == nullptr) return status;
    return reader->readNextCase();
  });
}

int sav_get_value_char(int handle, double variableHandle, char* value, int bufferSize) {
  return guarded([&]() -> int {
    int status = SAV_OK;
    const SavReader* reader = readerFor(handle, status);
    if (reader == nullptr) return status;
    const auto position = positionOf(handle, variableHandle);
    if (!position) return SAV_VARIABLE_NOT_FOUND;
    const int width = reader->variables()[*position].width;
    if (width == 0) return SAV_VARIABLE_NOT_STRING;
    if (value == nullptr) return SAV_INTERNAL_ERROR;
    if (bufferSize <= width) return SAV_BUFFER_TOO_SHORT;
    if (!reader->hasCurrentCase()) return SAV_INVALID_CASE;
    const std::string_view text = reader->stringValue(*position);
    if (text.size() >= static_cast<std::size_t>(bufferSize)) return SAV_BUFFER_TOO_SHORT;
    std::memcpy(value, text.data(), text.size());
    value[text.size()] = '\0';
    return SAV_OK;
  });
}

int sav_get_value_numeric(int handle, double variableHandle, double* value) {
  return guarded([&]() -> int {
    int status = SAV_OK;
    const SavReader* reader = readerFor(handle, status);
    if (reader == nullptr) return status;
    const auto position = positionOf(handle, variableHandle);
    if (!position) return SAV_VARIABLE_NOT_FOUND;
    if (reader->variables()[*position].width != 0) return SAV_VARIABLE_NOT_NUMERIC;
    if (value == nullptr) return SAV_INTERNAL_ERROR;
    if (!reader->hasCurrentCase()) return SAV_INVALID_CASE;
    *value = reader->numericValue(*position);
    return SAV_OK;
  });
}

int sav_get_case_size(int handle, long* caseSize) {
  return guarded([&]() -> int {
    SavOpenFile* file = SavFileTable::instance().find(handle);
    if (file == nullptr) return SAV_INVALID_HANDLE;
    if (caseSize == nullptr) return SAV_INTERNAL_ERROR;
    if (file->writer && !file->writer->committed()) return SAV_DICTIONARY_NOT_COMMITTED;
    *caseSize = static_cast<long>(file->reader ? file->reader->caseRecordSize() : file->writer->caseRecordSize());
    return SAV_OK;
  });
}

int sav_whole_case_in(int handle, char* caseRecord) {
  return guarded([&]() -> int {
    int status = SAV_OK;
    const SavReader* reader = readerFor(handle, status);
    if (reader == nullptr) return status;
    if (caseRecord == nullptr) return SAV_INTERNAL_ERROR;
    if (!reader->hasCurrentCase()) return SAV_INVALID_CASE;
    reader->wholeCase(caseRecord);
    return SAV_OK;
  });
}

int sav_free_var_names(char** names, int* types, int numberOfVariables) {
  if (numberOfVariables < 0 || (names == nullptr && numberOfVariables > 0)) {
    return SAV_CANNOT_FREE_NAMES;
  }
  if (names != nullptr) {
    for (int i = 0; i < numberOfVariables; ++i) std::free(names[i]);
  }
  std::free(names);
  std::free(types);
  return SAV_OK;
}

int sav_close_read(int handle) {
  return guarded([&]() -> int {
    int status = SAV_OK;
    if (readerFor(handle, status) == nullptr) return status;
    SavFileTable::instance().remove(handle);
    return SAV_OK;
  });
}

int sav_open_write(const char* fileName, int* handle) {
  return openHandle<SavWriter>(handle,
                               [&](std::unique_ptr<SavWriter>& writer) { return SavWriter::create(fileName, writer); });
}

int sav_set_file_label(int handle, const char* label) {
  return guarded([&]() -> int {
    int status = SAV_OK;
    SavWriter* writer = writerFor(handle, status);
    return writer == nullptr ? status : writer->setFileLabel(label);
  });
}

int sav_set_compression(int handle, int compressionSwitch) {
  return guarded([&]() -> int {
    int status = SAV_OK;
    SavWriter* writer = writerFor(handle, status);
    return writer == nullptr ? status : writer->setCompression(compressionSwitch);
  });
}

int sav_set_sync(int handle, int syncSwitch) {
  return guarded([&]() -> int {
    int status = SAV_OK;
    SavWriter* writer = writerFor(handle, status);
    return writer == nullptr ? status : writer->setSync(syncSwitch);
  });
}

int sav_set_var_name(int handle, const char* variableName, int lengthCode) {
  return guarded([&]() -> int {
    int status = SAV_OK;
    SavWriter* writer = writerFor(handle, status);
    return writer == nullptr ? status : writer->addVariable(variableName, lengthCode);
  });
}

int sav_set_var_label(int handle, const char* variableName, const char* label) {
  return guarded([&]() -> int {
    int status = SAV_OK;
    SavWriter* writer = writerFor(handle, status);
    return writer == nullptr ? status : writer->setVariableLabel(variableName, label);
  });
}

int sav_set_var_value_label_char(int handle, const char* variableName, const char* value,
                                 const char* label) {
  return guarded([&]() -> int {
    int status = SAV_OK;
    SavWriter* writer = writerFor(handle, status);
    return writer == nullptr ? status : writer->setStringValueLabel(variableName, value, label);
  });
}

int sav_set_var_write_format(int handle, const char* variableName, int type, int decimals,
                             int width) {
  return guarded([&]() -> int {
    int status = SAV_OK;
    SavWriter* writer = writerFor(handle, status);
    return writer == nullptr ? status
                             : writer->setFormat(variableName, type, decimals, width, false);
  });
}

int sav_set_var_print_format(int handle, const char* variableName, int type, int decimals,
                             int width) {
  return guarded([&]() -> int {
    int status = SAV_OK;
    SavWriter* writer = writerFor(handle, status);
    return writer == nullptr ? status
                             : writer->setFormat(variableName, type, decimals, width, true);
  });
}

int sav_commit_header(int handle) {
  return guarded([&]() -> int {
    int status = SAV_OK;
    SavWriter* writer = writerFor(handle, status);
    return writer == nullptr ? status : writer->commitHeader();
  });
}

double sav_system_missing_value(void) { return -DBL_MAX; }

int sav_set_value_numeric(int handle, double variableHandle, double value) {
  return guarded([&]() -> int {
    int status = SAV_OK;
    SavWriter* writer = writerFor(handle, status);
    if (writer == nullptr) return status;
    if (!writer->committed()) return SAV_DICTIONARY_NOT_COMMITTED;
    const auto position = positionOf(handle, variableHandle);
    if (!position) return SAV_VARIABLE_NOT_FOUND;
    return writer->setNumeric(*position, value);
  });
}

int sav_set_value_char(int handle, double variableHandle, const char* value) {
  return guarded([&]() -> int {
    int status = SAV_OK;
    SavWriter* writer = writerFor(handle, status);
    if (writer == nullptr) return status;
    if (!writer->committed()) return SAV_DICTIONARY_NOT_COMMITTED;
    const auto position = positionOf(handle, variableHandle);
    if (!position) return SAV_VARIABLE_NOT_FOUND;
    return writer->setString(*position, value);
  });
}

int sav_commit_case_record(int handle) {
  return guarded([&]() -> int {
    int status = SAV_OK;
    SavWriter* writer = writerFor(handle, status);
    return writer == nullptr ? status : writer->commitCase();
  });
}

int sav_whole_case_out(int handle, const char* caseRecord) {
  return guarded([&]() -> int {
    int status = SAV_OK;
    SavWriter* writer = writerFor(handle, status);
    return writer == nullptr ? status : writer->commitWholeCase(caseRecord);
  });
}

int sav_close_write(int handle) {
  return guarded([&]() -> int {
    int status = SAV_OK;
    SavOpenFile* file = SavFileTable::instance().find(handle);
    if (writerFor(handle, status) == nullptr) return status;
    // The handle is released whatever close() reports.
    std::unique_ptr<SavWriter> writer = std::move(file->writer);
    SavFileTable::instance().remove(handle);
    return writer->close();
  });
}

int sav_discard_write(int handle) {
  return guarded([&]() -> int {
    int status = SAV_OK;
    SavOpenFile* file = SavFileTable::instance().find(handle);
    if (writerFor(handle, status) == nullptr) return status;
    // A writer destroyed before it is closed removes its temporary file.
    std::unique_ptr<SavWriter> writer = std::move(file->writer);
    SavFileTable::instance().remove(handle);
    writer.reset();
    return SAV_OK;
  });
}

}  // extern "C"
