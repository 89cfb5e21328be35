// Wrappers over the data-file library, one per library call. Each passes its
// arguments through, returns the call's output value, treats the call's
// success codes as success and turns every other code into an EKorvanaError
// whose message is a fixed English text chosen by the code. A wrapper that
// raises has released what it allocated itself; files stay open, and closing
// them is the caller's task.
#pragma once

#include <string>

namespace korvana {

/// Opens a data file for reading; returns its handle.
int savOpenRead(const std::string& fileName);
/// The variable names and types of an open file (the caller gives the arrays
/// back with savFreeVarNames); returns the number of variables.
int savGetVarNames(int handle, char**& names, int*& types);
int savGetNumberOfCases(int handle);
/// The label of a string value; empty when the variable has no labels or the
/// value has none.
std::string savGetStringValueLabel(int handle, const std::string& variableName, const std::string& value);
double savGetVarHandle(int handle, const std::string& variableName);
/// Reads the next case; false after the last one.
bool savReadCaseRecord(int handle);
/// A string value of the current case, as the library gives it (not trimmed).
std::string savGetValueChar(int handle, double variableHandle);
double savGetValueNumeric(int handle, double variableHandle);
/// The size in bytes of a whole case (see SavDataFileLibrary.h).
long savGetCaseSize(int handle);
/// The current case as one record of savGetCaseSize bytes.
void savWholeCaseIn(int handle, char* caseRecord);
void savFreeVarNames(int count, char** names, int* types);
void savCloseRead(int handle);

/// Creates a data file for writing; returns its handle.
int savOpenWrite(const std::string& fileName);
void savSetFileLabel(int handle, const std::string& label);
void savSetCompression(int handle, int compressionSwitch);
/// Whether closing syncs the file to disk (1, the default) or not (0).
void savSetSync(int handle, int syncSwitch);
void savSetVarName(int handle, const std::string& variableName, int lengthCode);
void savSetVarLabel(int handle, const std::string& variableName, const std::string& label);
/// Labels a value of a string variable (a label cut to the library's limit is
/// not an error).
void savSetVarValueLabelChar(int handle, const std::string& variableName, const std::string& value,
                             const std::string& label);
void savSetVarWriteFormat(int handle, const std::string& variableName, int type, int decimals, int width);
void savSetVarPrintFormat(int handle, const std::string& variableName, int type, int decimals, int width);
void savCommitHeader(int handle);
double savSystemMissingValue();
void savSetValueNumeric(int handle, double variableHandle, double value);
void savSetValueChar(int handle, double variableHandle, const std::string& value);
void savCommitCaseRecord(int handle);
/// Adds a case given as one record, in place of the value calls and
/// savCommitCaseRecord.
void savWholeCaseOut(int handle, const char* caseRecord);
void savCloseWrite(int handle);
/// Abandons a file being written: nothing of it is left, an existing file of
/// that name is unchanged.
void savDiscardWrite(int handle);

}  // namespace korvana
