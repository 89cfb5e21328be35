#include "platform/spssio/SavUtilities.h"

#include <initializer_list>
#include <utility>

#include "common/EKorvanaError.h"
#include "platform/spssio/SavDataFileLibrary.h"

namespace korvana {

namespace {

using Messages = std::initializer_list<std::pair<int, const char*>>;

// Two fallbacks exist, and each wrapper has its own; both texts are kept as
// users and scripts know them.
constexpr const char* kUnknow = "Unknow error";
constexpr const char* kUnknown = "Unknown error";

/// Raises the message of `code` unless it is one of the success codes.
void check(int code, Messages messages, const char* fallback, std::initializer_list<int> successCodes = {0}) {
  for (int success : successCodes)
    if (code == success) return;
  for (const auto& [listed, message] : messages)
    if (code == listed) throw EKorvanaError(message);
  throw EKorvanaError(fallback);
}

}  // namespace

int savOpenRead(const std::string& fileName) {
  int handle = -1;
  check(sav_open_read(fileName.c_str(), &handle),
        {{1, "Error opening file"},
         {3, "Error reading file"},
         {4, "File table full (too many open SPSS data files)"},
         {6, "File is not a valid SPSS data file"},
         {7, "Insufficient memory"},
         {33, "File is not a valid SPSS data file (no type 2 record)"},
         {46, "File is not a valid SPSS data file (missing type 999 record)"}},
        kUnknow);
  return handle;
}

int savGetVarNames(int handle, char**& names, int*& types) {
  int count = 0;
  names = nullptr;
  types = nullptr;
  check(sav_get_var_names(handle, &count, &names, &types),
        {{5, "The file handle is not valid"},
         {6, "The data file contains no variables"},
         {7, "Insufficient memory"}},
        kUnknown);
  return count;
}

int savGetNumberOfCases(int handle) {
  int count = 0;
  check(sav_get_number_of_cases(handle, &count),
        {{5, "The file handle is not valid"}, {9, "File is open for writing, not reading"}}, kUnknown);
  return count;
}

std::string savGetStringValueLabel(int handle, const std::string& variableName, const std::string& value) {
  char label[SAV_VALUE_LABEL_BUFFER] = {};
  const int code = sav_get_string_value_label(handle, variableName.c_str(), value.c_str(), label);
  if (code == SAV_NO_VALUE_LABELS || code == SAV_NO_LABEL_FOR_VALUE) return {};
  check(code,
        {{5, "The file handle is not valid"},
         {10, "The variable name is not valid"},
         {12, "A variable with the given name does not exist"},
         {15, "The variable is numeric"},
         {16, "The variable is a long string"},
         {47, "The value is longer than the length of the variable"}},
        kUnknown);
  label[SAV_VALUE_LABEL_BUFFER - 1] = '\0';
  return label;
}

double savGetVarHandle(int handle, const std::string& variableName) {
  double variableHandle = 0;
  check(sav_get_var_handle(handle, variableName.c_str(), &variableHandle),
        {{5, "The file handle is not valid"},
         {7, "Insufficient memory"},
         {10, "Invalid variable name"},
         {12, "A variable with the given name does not exist"},
         {31, "Dictionary of the output file has not yet been written"}},
        kUnknow);
  return variableHandle;
}

bool savReadCaseRecord(int handle) {
  const int code = sav_read_case_record(handle);
  check(code,
        {{3, "Error reading file"},
         {5, "The file handle is not valid"},
         {9, "File is open for writing, not reading"}},
        kUnknown, {0, SAV_END_OF_CASES});
  return code == 0;
}

std::string savGetValueChar(int handle, double variableHandle) {
  constexpr int kBufferSize = 256;
  char value[kBufferSize] = {};
  check(sav_get_value_char(handle, variableHandle, value, kBufferSize),
        {{5, "The file handle is not valid"},
         {9, "The file is open for writing, not reading"},
         {15, "Variable associated with the handle is numeric"},
         {49, "Buffer is too short to hold the value"},
         {50, "Current case is not valid"}},
        kUnknown);
  value[kBufferSize - 1] = '\0';
  return value;
}

double savGetValueNumeric(int handle, double variableHandle) {
  double value = 0;
  check(sav_get_value_numeric(handle, variableHandle, &value),
        {{5, "The file handle is not valid"},
         {9, "The file is open for writing, not reading"},
         {14, "Variable associated with the handle is not numeric"},
         {50, "Current case is not valid"}},
        kUnknown);
  return value;
}

long savGetCaseSize(int handle) {
  long size = 0;
  check(sav_get_case_size(handle, &size),
        {{5, "The file handle is not valid"}, {31, "Dictionary of the output file has not yet been written"}},
        kUnknown);
  return size;
}

void savWholeCaseIn(int handle, char* caseRecord) {
  check(sav_whole_case_in(handle, caseRecord),
        {{5, "The file handle is not valid"},
         {9, "The file is open for writing, not reading"},
         {50, "Current case is not valid"}},
        kUnknown);
}

void savWholeCaseOut(int handle, const char* caseRecord) {
  check(sav_whole_case_out(handle, caseRecord),
        {{2, "File write error"},
         {5, "The file handle is not valid"},
         {8, "File is open for reading, not writing"},
         {31, "Dictionary of the output file has not yet been written"},
         {47, "Value is longer than length of variable"},
         {52, "Value is not UTF-8 text"}},
        kUnknow);
}

void savFreeVarNames(int count, char** names, int* types) {
  check(sav_free_var_names(names, types, count), {{48, "Unable to free variable names and types"}}, kUnknown);
}

void savCloseRead(int handle) {
  check(sav_close_read(handle),
        {{5, "The file handle is not valid"}, {9, "File is open for writing, not reading"}}, kUnknown);
}

int savOpenWrite(const std::string& fileName) {
  int handle = -1;
  check(sav_open_write(fileName.c_str(), &handle),
        {{1, "Error opening file"},
         {4, "File table full (too many open SPSS data files)"},
         {7, "Insufficient memory"}},
        kUnknow);
  return handle;
}

void savSetFileLabel(int handle, const std::string& label) {
  check(sav_set_file_label(handle, label.c_str()),
        {{5, "The file handle is not valid"},
         {8, "File is open for reading, not writing"},
         {30, "Dictionary has already been written"}},
        kUnknow, {0, SAV_FILE_LABEL_SHORTENED});
}

void savSetCompression(int handle, int compressionSwitch) {
  check(sav_set_compression(handle, compressionSwitch),
        {{5, "The file handle is not valid"},
         {8, "File is open for reading, not writing"},
         {19, "Invalid compression switch"},
         {30, "Dictionary has already been written"}},
        kUnknow);
}

void savSetSync(int handle, int syncSwitch) {
  check(sav_set_sync(handle, syncSwitch),
        {{5, "The file handle is not valid"}, {8, "File is open for reading, not writing"}}, kUnknow);
}

void savSetVarName(int handle, const std::string& variableName, int lengthCode) {
  check(sav_set_var_name(handle, variableName.c_str(), lengthCode),
        {{5, "The file handle is not valid"},
         {7, "Insufficient memory"},
         {8, "File is open for reading, not writing"},
         {10, "Invalid variable name"},
         {13, "There is already a variable with the same name"},
         {17, "Invalid length code"},
         {30, "Dictionary has already been written"}},
        kUnknow);
}

void savSetVarLabel(int handle, const std::string& variableName, const std::string& label) {
  check(sav_set_var_label(handle, variableName.c_str(), label.c_str()),
        {{5, "The file handle is not valid"},
         {7, "Insufficient memory"},
         {8, "File is open for reading, not writing"},
         {10, "Invalid variable name"},
         {12, "A variable with the given name does not exist"},
         {30, "Dictionary has already been written"}},
        kUnknow, {0, SAV_VAR_LABEL_SHORTENED});
}

void savSetVarValueLabelChar(int handle, const std::string& variableName, const std::string& value,
                             const std::string& label) {
  check(sav_set_var_value_label_char(handle, variableName.c_str(), value.c_str(), label.c_str()),
        {{5, "The file handle is not valid"},
         {7, "Insufficient memory"},
         {8, "File is open for reading, not writing"},
         {10, "Invalid variable name"},
         {12, "A variable with the given name does not exist"},
         {15, "The variable is numeric"},
         {30, "Dictionary has already been written"},
         {47, "The value is longer than the length of the variable"},
         {52, "The value or its label is not UTF-8 text"}},
        kUnknow, {0, SAV_VALUE_LABEL_SHORTENED});
}

void savSetVarWriteFormat(int handle, const std::string& variableName, int type, int decimals, int width) {
  check(sav_set_var_write_format(handle, variableName.c_str(), type, decimals, width),
        {{5, "The file handle is not valid"},
         {7, "Insufficient memory"},
         {8, "File is open for reading, not writing"},
         {10, "Invalid variable name"},
         {12, "A variable with the given name does not exist"},
         {21, "The write format specification is invalid or is incompatible with the variable type"},
         {30, "Dictionary has already been written"}},
        kUnknow);
}

void savSetVarPrintFormat(int handle, const std::string& variableName, int type, int decimals, int width) {
  check(sav_set_var_print_format(handle, variableName.c_str(), type, decimals, width),
        {{5, "The file handle is not valid"},
         {7, "Insufficient memory"},
         {8, "File is open for reading, not writing"},
         {10, "Invalid variable name"},
         {12, "A variable with the given name does not exist"},
         {20, "The print format specification is invalid or is incompatible with the variable type"},
         {30, "Dictionary has already been written"}},
        kUnknow);
}

void savCommitHeader(int handle) {
  check(sav_commit_header(handle),
        {{2, "File write error"},
         {5, "The file handle is not valid"},
         {7, "Insufficient memory"},
         {8, "File is open for reading, not writing"},
         {11, "No variables defined in the dictionary"},
         {20, "The print format specification is invalid or is incompatible with the variable type"},
         {30, "Dictionary has already been written"},
         {51, "Internal data structures of the DLL are invalid"}},
        kUnknow);
}

double savSystemMissingValue() { return sav_system_missing_value(); }

void savSetValueNumeric(int handle, double variableHandle, double value) {
  check(sav_set_value_numeric(handle, variableHandle, value),
        {{5, "The file handle is not valid"},
         {8, "File is open for reading, not writing"},
         {14, "Variable associated with the handle is not numeric"},
         {31, "Dictionary of the output file has not yet been written"}},
        kUnknow);
}

void savSetValueChar(int handle, double variableHandle, const std::string& value) {
  check(sav_set_value_char(handle, variableHandle, value.c_str()),
        {{5, "The file handle is not valid"},
         {8, "File is open for reading, not writing"},
         {15, "Variable associated with the handle is not of type string"},
         {31, "Dictionary of the output file has not yet been written"},
         {47, "Value is longer than length of variable"},
         {52, "Value is not UTF-8 text"}},
        kUnknow);
}

void savCommitCaseRecord(int handle) {
  check(sav_commit_case_record(handle),
        {{2, "File write error"},
         {5, "The file handle is not valid"},
         {8, "File is open for reading, not writing"},
         {30, "Dictionary has already been written"}},
        kUnknow);
}

void savCloseWrite(int handle) {
  check(sav_close_write(handle),
        {{2, "File write error"},
         {5, "The file handle is not valid"},
         {8, "File is open for reading, not writing"},
         {30, "Dictionary has already been written"}},
        kUnknow);
}

void savDiscardWrite(int handle) {
  check(sav_discard_write(handle),
        {{5, "The file handle is not valid"}, {8, "File is open for reading, not writing"}},
        kUnknow);
}

}  // namespace korvana
