// Every condition a status code stands for, provoked through the library.
#include "SavTestSupport.h"

#include "platform/spssio/SavDataFileLibrary.h"

#include <gtest/gtest.h>
#include <readstat.h>

#include <cfloat>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

using savtest::Cell;
using savtest::FilePlan;
using savtest::Format;
using savtest::TemporaryFolder;

// A small valid file: two numeric variables and one string, three cases.
FilePlan smallFile(int compression) {
  FilePlan plan;
  plan.compression = compression;
  plan.variables = {{"Number", 0, ""}, {"Text", 8, ""}, {"Other", 0, ""}};
  plan.cases = {{1.5, std::string("one"), 10.0},
                {2.5, std::string("two"), 20.0},
                {3.5, std::string("three"), 30.0}};
  return plan;
}

void writeSmallFile(const std::string& path, int compression = 0) {
  const savtest::WriteOutcome outcome = savtest::writeFile(path, smallFile(compression));
  ASSERT_EQ(outcome.failedCall, "") << outcome.status;
}

int openRead(const std::string& path, int* handle) { return sav_open_read(path.c_str(), handle); }

// A write handle with variables N (numeric) and S (A8), dictionary committed
// when `commit`.
int openWriter(const std::string& path, bool commit) {
  int handle = -1;
  EXPECT_EQ(sav_open_write(path.c_str(), &handle), SAV_OK);
  EXPECT_EQ(sav_set_var_name(handle, "N", 0), SAV_OK);
  EXPECT_EQ(sav_set_var_name(handle, "S", 8), SAV_OK);
  if (commit) {
    EXPECT_EQ(sav_commit_header(handle), SAV_OK);
  }
  return handle;
}

// ---------------------------------------------------------------------------
// Opening.

TEST(SavLibraryOpenStatus, MissingFolderCannotBeOpenedOrCreated) {
  TemporaryFolder folder;
  int handle = -1;
  EXPECT_EQ(openRead(folder.file("missing/x.sav"), &handle), SAV_FILE_OPEN_ERROR);
  EXPECT_EQ(sav_open_write(folder.file("missing/x.sav").c_str(), &handle), SAV_FILE_OPEN_ERROR);
  EXPECT_EQ(openRead(folder.file("absent.sav"), &handle), SAV_FILE_OPEN_ERROR);
  EXPECT_EQ(sav_open_read(nullptr, &handle), SAV_FILE_OPEN_ERROR);
  EXPECT_EQ(sav_open_write(nullptr, &handle), SAV_FILE_OPEN_ERROR);
  EXPECT_EQ(sav_open_write("", &handle), SAV_FILE_OPEN_ERROR);
  EXPECT_EQ(handle, -1) << "a failed open hands out no handle";
  EXPECT_TRUE(folder.entries().empty());
}

TEST(SavLibraryOpenStatus, FolderIsNotADataFile) {
  TemporaryFolder folder;
  std::filesystem::create_directory(folder.path() / "sub");
  int handle = -1;
  EXPECT_EQ(openRead(folder.file("sub"), &handle), SAV_FILE_OPEN_ERROR);
  EXPECT_EQ(sav_open_write(folder.file("sub").c_str(), &handle), SAV_FILE_OPEN_ERROR);
  EXPECT_EQ(sav_open_write((folder.file("sub") + "/").c_str(), &handle), SAV_FILE_OPEN_ERROR);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"sub"});
}

TEST(SavLibraryOpenStatus, NotDataFiles) {
  TemporaryFolder folder;
  const auto status = [&](const std::string& name, const std::vector<unsigned char>& bytes) {
    savtest::writeBytes(folder.file(name), bytes);
    int handle = -1;
    return openRead(folder.file(name), &handle);
  };
  const std::string text = "ROWTYPE_,ID,V1\nPROX,a,0\n";
  EXPECT_EQ(status("text.sav", {text.begin(), text.end()}), SAV_INVALID_FILE);
  EXPECT_EQ(status("empty.sav", {}), SAV_INVALID_FILE);
  EXPECT_EQ(status("three.sav", {'$', 'F', 'L'}), SAV_INVALID_FILE);

  // A valid header with a layout code that is neither 2 nor 3, in either
  // byte order.
  writeSmallFile(folder.file("valid.sav"));
  std::vector<unsigned char> bytes = savtest::readBytes(folder.file("valid.sav"));
  bytes[64] = 9;
  EXPECT_EQ(status("layout.sav", bytes), SAV_INVALID_FILE);
  bytes = savtest::readBytes(folder.file("valid.sav"));
  bytes[0] = '#';
  EXPECT_EQ(status("magic.sav", bytes), SAV_INVALID_FILE);
}

TEST(SavLibraryOpenStatus, HeaderCutShortIsAReadError) {
  TemporaryFolder folder;
  writeSmallFile(folder.file("valid.sav"));
  const std::vector<unsigned char> bytes = savtest::readBytes(folder.file("valid.sav"));
  for (std::size_t cut : {4u, 80u, 175u}) {
    savtest::writeBytes(folder.file("cut.sav"), {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)});
    int handle = -1;
    EXPECT_EQ(openRead(folder.file("cut.sav"), &handle), SAV_FILE_READ_ERROR) << cut;
  }
}

TEST(SavLibraryOpenStatus, DictionaryWithoutVariableRecords) {
  TemporaryFolder folder;
  writeSmallFile(folder.file("valid.sav"));
  const std::vector<unsigned char> bytes = savtest::readBytes(folder.file("valid.sav"));
  const savtest::RawDictionary raw = savtest::decodeDictionary(bytes);
  ASSERT_EQ(raw.firstVariableOffset, 176u);
  int handle = -1;

  // The header alone.
  savtest::writeBytes(folder.file("header.sav"), {bytes.begin(), bytes.begin() + 176});
  EXPECT_EQ(openRead(folder.file("header.sav"), &handle), SAV_NO_TYPE2_RECORD);

  // The header followed at once by the termination record and the data.
  std::vector<unsigned char> noVariables(bytes.begin(), bytes.begin() + 176);
  noVariables.insert(noVariables.end(), bytes.begin() + static_cast<std::ptrdiff_t>(raw.terminationOffset), bytes.end());
  savtest::writeBytes(folder.file("novariables.sav"), noVariables);
  EXPECT_EQ(openRead(folder.file("novariables.sav"), &handle), SAV_NO_TYPE2_RECORD);

  // The header and half a variable record.
  savtest::writeBytes(folder.file("half.sav"), {bytes.begin(), bytes.begin() + 176 + 16});
  EXPECT_EQ(openRead(folder.file("half.sav"), &handle), SAV_NO_TYPE2_RECORD);
}

TEST(SavLibraryOpenStatus, DictionaryWithoutTerminationRecord) {
  TemporaryFolder folder;
  writeSmallFile(folder.file("valid.sav"));
  const std::vector<unsigned char> bytes = savtest::readBytes(folder.file("valid.sav"));
  const savtest::RawDictionary raw = savtest::decodeDictionary(bytes);
  ASSERT_GT(raw.terminationOffset, 176u);
  int handle = -1;

  // Everything up to the termination record.
  savtest::writeBytes(folder.file("noend.sav"),
                      {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(raw.terminationOffset)});
  EXPECT_EQ(openRead(folder.file("noend.sav"), &handle), SAV_NO_TYPE999_RECORD);

  // The first variable record only.
  savtest::writeBytes(folder.file("onevar.sav"), {bytes.begin(), bytes.begin() + 176 + 32});
  EXPECT_EQ(openRead(folder.file("onevar.sav"), &handle), SAV_NO_TYPE999_RECORD);

  // Half of the termination record.
  savtest::writeBytes(folder.file("halfend.sav"),
                      {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(raw.terminationOffset + 4)});
  EXPECT_EQ(openRead(folder.file("halfend.sav"), &handle), SAV_NO_TYPE999_RECORD);

  // The termination record's type replaced by one that does not exist.
  std::vector<unsigned char> damaged = bytes;
  damaged[raw.terminationOffset] = 0xE6;  // 998
  savtest::writeBytes(folder.file("998.sav"), damaged);
  EXPECT_EQ(openRead(folder.file("998.sav"), &handle), SAV_NO_TYPE999_RECORD);
}

TEST(SavLibraryOpenStatus, FileTableHoldsSixtyFourFiles) {
  TemporaryFolder folder;
  writeSmallFile(folder.file("valid.sav"));
  std::vector<int> readers;
  std::vector<int> writers;
  for (int i = 0; i < SAV_MAX_OPEN_FILES / 2; ++i) {
    int handle = -1;
    ASSERT_EQ(openRead(folder.file("valid.sav"), &handle), SAV_OK);
    readers.push_back(handle);
    ASSERT_EQ(sav_open_write(folder.file("w" + std::to_string(i) + ".sav").c_str(), &handle), SAV_OK);
    writers.push_back(handle);
  }
  std::vector<int> all = readers;
  all.insert(all.end(), writers.begin(), writers.end());
  std::sort(all.begin(), all.end());
  EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end()) << "handles are distinct";
  EXPECT_GE(all.front(), 0);
  EXPECT_LT(all.back(), SAV_MAX_OPEN_FILES);

  int handle = -1;
  EXPECT_EQ(openRead(folder.file("valid.sav"), &handle), SAV_FILE_TABLE_FULL);
  EXPECT_EQ(sav_open_write(folder.file("extra.sav").c_str(), &handle), SAV_FILE_TABLE_FULL);

  // One closed: one more can be opened.
  EXPECT_EQ(sav_close_read(readers.back()), SAV_OK);
  readers.pop_back();
  EXPECT_EQ(sav_open_write(folder.file("extra.sav").c_str(), &handle), SAV_OK);
  writers.push_back(handle);

  for (int h : readers) EXPECT_EQ(sav_close_read(h), SAV_OK);
  // Writers closed without a committed dictionary write nothing.
  for (int h : writers) EXPECT_EQ(sav_close_write(h), SAV_DICTIONARY_NOT_COMMITTED);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"valid.sav"});
}

// ---------------------------------------------------------------------------
// Handles.

TEST(SavLibraryHandleStatus, HandlesOfNoOpenFile) {
  TemporaryFolder folder;
  writeSmallFile(folder.file("valid.sav"));
  int closed = -1;
  ASSERT_EQ(openRead(folder.file("valid.sav"), &closed), SAV_OK);
  ASSERT_EQ(sav_close_read(closed), SAV_OK);

  for (int handle : std::vector<int>{-1, SAV_MAX_OPEN_FILES, 1000, closed}) {
    SCOPED_TRACE(handle);
    int count = 0;
    char** names = nullptr;
    int* types = nullptr;
    double variable = 0;
    double number = 0;
    char buffer[64];
    EXPECT_EQ(sav_get_var_names(handle, &count, &names, &types), SAV_INVALID_HANDLE);
    EXPECT_EQ(sav_get_number_of_cases(handle, &count), SAV_INVALID_HANDLE);
    EXPECT_EQ(sav_get_string_value_label(handle, "Text", "one", buffer), SAV_INVALID_HANDLE);
    EXPECT_EQ(sav_get_var_handle(handle, "Number", &variable), SAV_INVALID_HANDLE);
    EXPECT_EQ(sav_read_case_record(handle), SAV_INVALID_HANDLE);
    EXPECT_EQ(sav_get_value_char(handle, variable, buffer, 64), SAV_INVALID_HANDLE);
    EXPECT_EQ(sav_get_value_numeric(handle, variable, &number), SAV_INVALID_HANDLE);
    EXPECT_EQ(sav_close_read(handle), SAV_INVALID_HANDLE);
    EXPECT_EQ(sav_set_file_label(handle, "x"), SAV_INVALID_HANDLE);
    EXPECT_EQ(sav_set_compression(handle, 1), SAV_INVALID_HANDLE);
    EXPECT_EQ(sav_set_var_name(handle, "X", 0), SAV_INVALID_HANDLE);
    EXPECT_EQ(sav_set_var_label(handle, "X", "x"), SAV_INVALID_HANDLE);
    EXPECT_EQ(sav_set_var_write_format(handle, "X", 5, 2, 8), SAV_INVALID_HANDLE);
    EXPECT_EQ(sav_set_var_print_format(handle, "X", 5, 2, 8), SAV_INVALID_HANDLE);
    EXPECT_EQ(sav_commit_header(handle), SAV_INVALID_HANDLE);
    EXPECT_EQ(sav_set_value_numeric(handle, variable, 1.0), SAV_INVALID_HANDLE);
    EXPECT_EQ(sav_set_value_char(handle, variable, "x"), SAV_INVALID_HANDLE);
    EXPECT_EQ(sav_commit_case_record(handle), SAV_INVALID_HANDLE);
    EXPECT_EQ(sav_close_write(handle), SAV_INVALID_HANDLE);
  }
}

TEST(SavLibraryHandleStatus, ReadingCallsOnAFileOpenForWriting) {
  TemporaryFolder folder;
  const int handle = openWriter(folder.file("w.sav"), true);
  double variable = 0;
  ASSERT_EQ(sav_get_var_handle(handle, "S", &variable), SAV_OK);
  int count = 0;
  char** names = nullptr;
  int* types = nullptr;
  double number = 0;
  char buffer[64];
  EXPECT_EQ(sav_get_var_names(handle, &count, &names, &types), SAV_OPEN_FOR_WRITING);
  EXPECT_EQ(sav_get_number_of_cases(handle, &count), SAV_OPEN_FOR_WRITING);
  EXPECT_EQ(sav_get_string_value_label(handle, "S", "x", buffer), SAV_OPEN_FOR_WRITING);
  EXPECT_EQ(sav_read_case_record(handle), SAV_OPEN_FOR_WRITING);
  EXPECT_EQ(sav_get_value_char(handle, variable, buffer, 64), SAV_OPEN_FOR_WRITING);
  EXPECT_EQ(sav_get_value_numeric(handle, variable, &number), SAV_OPEN_FOR_WRITING);
  EXPECT_EQ(sav_close_read(handle), SAV_OPEN_FOR_WRITING);
  // The file is still open for writing and can be finished.
  EXPECT_EQ(sav_commit_case_record(handle), SAV_OK);
  EXPECT_EQ(sav_close_write(handle), SAV_OK);
}

TEST(SavLibraryHandleStatus, WritingCallsOnAFileOpenForReading) {
  TemporaryFolder folder;
  writeSmallFile(folder.file("valid.sav"));
  int handle = -1;
  ASSERT_EQ(openRead(folder.file("valid.sav"), &handle), SAV_OK);
  double variable = 0;
  ASSERT_EQ(sav_get_var_handle(handle, "Number", &variable), SAV_OK);
  EXPECT_EQ(sav_set_file_label(handle, "x"), SAV_OPEN_FOR_READING);
  EXPECT_EQ(sav_set_compression(handle, 1), SAV_OPEN_FOR_READING);
  EXPECT_EQ(sav_set_var_name(handle, "X", 0), SAV_OPEN_FOR_READING);
  EXPECT_EQ(sav_set_var_label(handle, "Number", "x"), SAV_OPEN_FOR_READING);
  EXPECT_EQ(sav_set_var_write_format(handle, "Number", 5, 2, 8), SAV_OPEN_FOR_READING);
  EXPECT_EQ(sav_set_var_print_format(handle, "Number", 5, 2, 8), SAV_OPEN_FOR_READING);
  EXPECT_EQ(sav_commit_header(handle), SAV_OPEN_FOR_READING);
  EXPECT_EQ(sav_set_value_numeric(handle, variable, 1.0), SAV_OPEN_FOR_READING);
  EXPECT_EQ(sav_set_value_char(handle, variable, "x"), SAV_OPEN_FOR_READING);
  EXPECT_EQ(sav_commit_case_record(handle), SAV_OPEN_FOR_READING);
  EXPECT_EQ(sav_close_write(handle), SAV_OPEN_FOR_READING);
  // Still open for reading.
  EXPECT_EQ(sav_read_case_record(handle), SAV_OK);
  EXPECT_EQ(sav_close_read(handle), SAV_OK);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"valid.sav"});
}

TEST(SavLibraryHandleStatus, VariableHandlesBelongToTheirFile) {
  TemporaryFolder folder;
  writeSmallFile(folder.file("valid.sav"));
  int first = -1;
  int second = -1;
  ASSERT_EQ(openRead(folder.file("valid.sav"), &first), SAV_OK);
  ASSERT_EQ(openRead(folder.file("valid.sav"), &second), SAV_OK);
  double own = 0;
  double foreign = 0;
  double last = 0;
  ASSERT_EQ(sav_get_var_handle(first, "number", &own), SAV_OK);
  ASSERT_EQ(sav_get_var_handle(first, "OTHER", &last), SAV_OK);
  ASSERT_EQ(sav_get_var_handle(second, "Number", &foreign), SAV_OK);
  EXPECT_NE(own, foreign);
  EXPECT_EQ(sav_get_var_handle(first, "Nothing", &own), SAV_VARIABLE_NOT_FOUND);
  EXPECT_EQ(sav_get_var_handle(first, nullptr, &own), SAV_INVALID_VARIABLE_NAME);
  ASSERT_EQ(sav_read_case_record(first), SAV_OK);
  double value = 0;
  EXPECT_EQ(sav_get_value_numeric(first, own, &value), SAV_OK);
  EXPECT_EQ(value, 1.5);
  EXPECT_EQ(sav_get_value_numeric(first, foreign, &value), SAV_VARIABLE_NOT_FOUND);
  for (double bogus : {0.0, -1.0, 1.0, own + 0.5, last + 1.0, own - 1.0, 1e300,
                       std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::infinity(), -DBL_MAX}) {
    char buffer[16];
    EXPECT_EQ(sav_get_value_numeric(first, bogus, &value), SAV_VARIABLE_NOT_FOUND) << bogus;
    EXPECT_EQ(sav_get_value_char(first, bogus, buffer, 16), SAV_VARIABLE_NOT_FOUND) << bogus;
  }
  // A handle of a closed file stays foreign when its slot is reused.
  ASSERT_EQ(sav_close_read(second), SAV_OK);
  int reopened = -1;
  ASSERT_EQ(openRead(folder.file("valid.sav"), &reopened), SAV_OK);
  EXPECT_EQ(reopened, second);
  ASSERT_EQ(sav_read_case_record(reopened), SAV_OK);
  EXPECT_EQ(sav_get_value_numeric(reopened, foreign, &value), SAV_VARIABLE_NOT_FOUND);
  EXPECT_EQ(sav_close_read(reopened), SAV_OK);
  EXPECT_EQ(sav_close_read(first), SAV_OK);

  // The same on a file open for writing.
  const int writer = openWriter(folder.file("w.sav"), true);
  double n = 0;
  ASSERT_EQ(sav_get_var_handle(writer, "n", &n), SAV_OK);
  EXPECT_EQ(sav_set_value_numeric(writer, n + 2.0, 1.0), SAV_VARIABLE_NOT_FOUND);
  EXPECT_EQ(sav_set_value_char(writer, 3.0, "x"), SAV_VARIABLE_NOT_FOUND);
  EXPECT_EQ(sav_set_value_numeric(writer, own, 1.0), SAV_VARIABLE_NOT_FOUND);
  EXPECT_EQ(sav_close_write(writer), SAV_OK);
}

// ---------------------------------------------------------------------------
// The dictionary.

TEST(SavLibraryDictionaryStatus, VariableNames) {
  TemporaryFolder folder;
  int handle = -1;
  ASSERT_EQ(sav_open_write(folder.file("names.sav").c_str(), &handle), SAV_OK);
  const std::string longest(64, 'L');
  for (const std::string& name : {std::string("A"), std::string("@at"), std::string("a.b"),
                                  std::string("a_1$#@"), std::string("x9"), longest,
                                  std::string("ALLx"), std::string("Within")}) {
    EXPECT_EQ(sav_set_var_name(handle, name.c_str(), 0), SAV_OK) << name;
  }
  for (const std::string& name :
       {std::string(""), std::string("1abc"), std::string("_a"), std::string(".a"),
        std::string("#scratch"), std::string("$system"), std::string("a b"), std::string("a-b"),
        std::string("abc."), longest + "L", std::string("ALL"), std::string("and"),
        std::string("By"), std::string("eq"), std::string("GE"), std::string("gt"),
        std::string("LE"), std::string("lt"), std::string("NE"), std::string("not"),
        std::string("OR"), std::string("to"), std::string("With"), std::string("caf\xC3\xA9"),
        std::string("tab\t")}) {
    EXPECT_EQ(sav_set_var_name(handle, name.c_str(), 0), SAV_INVALID_VARIABLE_NAME) << name;
  }
  EXPECT_EQ(sav_set_var_name(handle, nullptr, 0), SAV_INVALID_VARIABLE_NAME);
  // Duplicates, without regard to case, for numeric and string variables.
  EXPECT_EQ(sav_set_var_name(handle, "a", 0), SAV_DUPLICATE_VARIABLE);
  EXPECT_EQ(sav_set_var_name(handle, "@AT", 8), SAV_DUPLICATE_VARIABLE);
  EXPECT_EQ(sav_set_var_name(handle, "A.B", 0), SAV_DUPLICATE_VARIABLE);
  EXPECT_EQ(sav_commit_header(handle), SAV_OK);
  EXPECT_EQ(sav_close_write(handle), SAV_OK);
  const savtest::ReadOutcome read = savtest::readFile(folder.file("names.sav"));
  ASSERT_EQ(read.status, SAV_OK);
  ASSERT_EQ(read.file.variables.size(), 8u) << "refused names were not added";
  EXPECT_EQ(read.file.variables[1].name, "@at");
  EXPECT_EQ(read.file.variables[5].name, longest);
}

TEST(SavLibraryDictionaryStatus, LengthCodesAndCompression) {
  TemporaryFolder folder;
  int handle = -1;
  ASSERT_EQ(sav_open_write(folder.file("lengths.sav").c_str(), &handle), SAV_OK);
  for (int code : {-1, 256, 1000, std::numeric_limits<int>::min()}) {
    EXPECT_EQ(sav_set_var_name(handle, "X", code), SAV_INVALID_LENGTH_CODE) << code;
  }
  EXPECT_EQ(sav_set_var_name(handle, "Numeric", 0), SAV_OK);
  EXPECT_EQ(sav_set_var_name(handle, "One", 1), SAV_OK);
  EXPECT_EQ(sav_set_var_name(handle, "Widest", SAV_MAX_SHORT_STRING), SAV_OK);
  for (int compression : {-1, 2, 3}) {
    EXPECT_EQ(sav_set_compression(handle, compression), SAV_INVALID_COMPRESSION) << compression;
  }
  EXPECT_EQ(sav_set_compression(handle, 1), SAV_OK);
  EXPECT_EQ(sav_set_compression(handle, 0), SAV_OK);
  EXPECT_EQ(sav_commit_header(handle), SAV_OK);
  EXPECT_EQ(sav_close_write(handle), SAV_OK);
  EXPECT_EQ(savtest::decodeDictionary(savtest::readBytes(folder.file("lengths.sav"))).compression, 0);
}

struct FormatCase {
  int variableLength;
  int type;
  int decimals;
  int width;
  bool valid;
};

TEST(SavLibraryDictionaryStatus, PrintAndWriteFormats) {
  const std::vector<FormatCase> cases = {
      // Numeric variables: F and E within their ranges.
      {0, 5, 0, 8, true},   {0, 5, 6, 8, true},   {0, 5, 0, 1, true},   {0, 5, 1, 2, true},
      {0, 5, 16, 40, true}, {0, 17, 0, 8, true},  {0, 17, 0, 6, true},  {0, 17, 1, 8, true},
      {0, 17, 3, 10, true}, {0, 17, 16, 40, true},
      {0, 5, 0, 0, false},  {0, 5, 0, 41, false}, {0, 5, 8, 8, false},  {0, 5, 17, 40, false},
      {0, 5, -1, 8, false}, {0, 5, 1, 1, false},  {0, 17, 0, 5, false}, {0, 17, 2, 8, false},
      {0, 17, 1, 7, false}, {0, 17, 0, 41, false}, {0, 17, 17, 40, false},
      {0, 1, 0, 8, false},  {0, 0, 0, 8, false},  {0, 2, 0, 8, false},  {0, 3, 2, 8, false},
      {0, 20, 0, 11, false}, {0, -5, 2, 8, false},
      // String variables: A of the variable's width only.
      {8, 1, 0, 8, true},   {8, 1, 0, 7, false},  {8, 1, 0, 9, false},  {8, 1, 1, 8, false},
      {8, 5, 2, 8, false},  {8, 17, 0, 8, false}, {1, 1, 0, 1, true},   {255, 1, 0, 255, true},
  };
  TemporaryFolder folder;
  int handle = -1;
  ASSERT_EQ(sav_open_write(folder.file("formats.sav").c_str(), &handle), SAV_OK);
  for (int length : {0, 1, 8, 255}) {
    ASSERT_EQ(sav_set_var_name(handle, ("V" + std::to_string(length)).c_str(), length), SAV_OK);
  }
  for (const FormatCase& c : cases) {
    const std::string name = "V" + std::to_string(c.variableLength);
    SCOPED_TRACE(name + " type " + std::to_string(c.type) + " width " + std::to_string(c.width) +
                 " decimals " + std::to_string(c.decimals));
    EXPECT_EQ(sav_set_var_print_format(handle, name.c_str(), c.type, c.decimals, c.width),
              c.valid ? SAV_OK : SAV_INVALID_PRINT_FORMAT);
    EXPECT_EQ(sav_set_var_write_format(handle, name.c_str(), c.type, c.decimals, c.width),
              c.valid ? SAV_OK : SAV_INVALID_WRITE_FORMAT);
  }
  // The last valid format set stays; a refused one changes nothing.
  EXPECT_EQ(sav_set_var_print_format(handle, "V0", 5, 3, 9), SAV_OK);
  EXPECT_EQ(sav_set_var_write_format(handle, "V0", 17, 0, 8), SAV_OK);
  EXPECT_EQ(sav_set_var_print_format(handle, "V0", 5, 9, 9), SAV_INVALID_PRINT_FORMAT);
  EXPECT_EQ(sav_set_var_write_format(handle, "V0", 1, 0, 8), SAV_INVALID_WRITE_FORMAT);
  EXPECT_EQ(sav_commit_header(handle), SAV_OK);
  EXPECT_EQ(sav_close_write(handle), SAV_OK);
  const savtest::RawDictionary raw = savtest::decodeDictionary(savtest::readBytes(folder.file("formats.sav")));
  ASSERT_EQ(raw.variables.size(), 4u);
  EXPECT_EQ(raw.variables[0].print, savtest::formatCode(5, 9, 3));
  EXPECT_EQ(raw.variables[0].write, savtest::formatCode(17, 8, 0));
}

TEST(SavLibraryDictionaryStatus, UnknownVariablesInDictionaryCalls) {
  TemporaryFolder folder;
  const int handle = openWriter(folder.file("w.sav"), false);
  EXPECT_EQ(sav_set_var_label(handle, "Missing", "label"), SAV_VARIABLE_NOT_FOUND);
  EXPECT_EQ(sav_set_var_print_format(handle, "Missing", 5, 2, 8), SAV_VARIABLE_NOT_FOUND);
  EXPECT_EQ(sav_set_var_write_format(handle, "Missing", 5, 2, 8), SAV_VARIABLE_NOT_FOUND);
  EXPECT_EQ(sav_set_var_label(handle, nullptr, "label"), SAV_INVALID_VARIABLE_NAME);
  EXPECT_EQ(sav_set_var_print_format(handle, nullptr, 5, 2, 8), SAV_INVALID_VARIABLE_NAME);
  EXPECT_EQ(sav_set_var_write_format(handle, nullptr, 5, 2, 8), SAV_INVALID_VARIABLE_NAME);
  // Names are found without regard to case; a null label is empty.
  EXPECT_EQ(sav_set_var_label(handle, "n", nullptr), SAV_OK);
  EXPECT_EQ(sav_set_var_label(handle, "s", "string"), SAV_OK);
  EXPECT_EQ(sav_close_write(handle), SAV_DICTIONARY_NOT_COMMITTED);
}

TEST(SavLibraryDictionaryStatus, CommittedAndNotCommitted) {
  TemporaryFolder folder;
  int empty = -1;
  ASSERT_EQ(sav_open_write(folder.file("empty.sav").c_str(), &empty), SAV_OK);
  EXPECT_EQ(sav_commit_header(empty), SAV_NO_VARIABLES);
  EXPECT_EQ(sav_close_write(empty), SAV_DICTIONARY_NOT_COMMITTED);

  const int handle = openWriter(folder.file("w.sav"), false);
  double n = 0;
  double s = 0;
  // Variable handles and values before the dictionary is written.
  EXPECT_EQ(sav_get_var_handle(handle, "N", &n), SAV_DICTIONARY_NOT_COMMITTED);
  EXPECT_EQ(sav_set_value_numeric(handle, 0.0, 1.0), SAV_DICTIONARY_NOT_COMMITTED);
  EXPECT_EQ(sav_set_value_char(handle, 1.0, "x"), SAV_DICTIONARY_NOT_COMMITTED);
  EXPECT_EQ(sav_commit_case_record(handle), SAV_DICTIONARY_NOT_COMMITTED);
  EXPECT_EQ(sav_commit_header(handle), SAV_OK);
  ASSERT_EQ(sav_get_var_handle(handle, "N", &n), SAV_OK);
  ASSERT_EQ(sav_get_var_handle(handle, "S", &s), SAV_OK);
  // Dictionary calls after it.
  EXPECT_EQ(sav_commit_header(handle), SAV_DICTIONARY_COMMITTED);
  EXPECT_EQ(sav_set_file_label(handle, "late"), SAV_DICTIONARY_COMMITTED);
  EXPECT_EQ(sav_set_compression(handle, 1), SAV_DICTIONARY_COMMITTED);
  EXPECT_EQ(sav_set_var_name(handle, "Late", 0), SAV_DICTIONARY_COMMITTED);
  EXPECT_EQ(sav_set_var_label(handle, "N", "late"), SAV_DICTIONARY_COMMITTED);
  EXPECT_EQ(sav_set_var_print_format(handle, "N", 5, 0, 8), SAV_DICTIONARY_COMMITTED);
  EXPECT_EQ(sav_set_var_write_format(handle, "N", 5, 0, 8), SAV_DICTIONARY_COMMITTED);
  EXPECT_EQ(sav_set_value_numeric(handle, n, 7.0), SAV_OK);
  EXPECT_EQ(sav_commit_case_record(handle), SAV_OK);
  EXPECT_EQ(sav_close_write(handle), SAV_OK);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"w.sav"});

  const savtest::ReadOutcome read = savtest::readFile(folder.file("w.sav"));
  ASSERT_EQ(read.status, SAV_OK);
  ASSERT_EQ(read.file.variables.size(), 2u);
  ASSERT_EQ(read.file.cases.size(), 1u);
  EXPECT_EQ(read.file.cases[0][0], Cell(7.0));
  EXPECT_EQ(read.file.cases[0][1], Cell(std::string(8, ' ')));
}

// ---------------------------------------------------------------------------
// Values.

TEST(SavLibraryValueStatus, WritingValues) {
  TemporaryFolder folder;
  const int handle = openWriter(folder.file("w.sav"), true);
  double n = 0;
  double s = 0;
  ASSERT_EQ(sav_get_var_handle(handle, "N", &n), SAV_OK);
  ASSERT_EQ(sav_get_var_handle(handle, "S", &s), SAV_OK);
  EXPECT_EQ(sav_set_value_numeric(handle, s, 1.0), SAV_VARIABLE_NOT_NUMERIC);
  EXPECT_EQ(sav_set_value_char(handle, n, "x"), SAV_VARIABLE_NOT_STRING);
  EXPECT_EQ(sav_set_value_char(handle, s, "abcdefghi"), SAV_VALUE_TOO_LONG);
  EXPECT_EQ(sav_set_value_char(handle, s, "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"), SAV_VALUE_TOO_LONG);
  // What a reader could not read back is not written: text must be UTF-8.
  EXPECT_EQ(sav_set_value_char(handle, s, "set\xE9sa"), SAV_INVALID_TEXT);
  EXPECT_EQ(sav_set_value_char(handle, s, "abcdefgh    "), SAV_OK);
  EXPECT_EQ(sav_set_value_numeric(handle, n, 2.0), SAV_OK);
  EXPECT_EQ(sav_commit_case_record(handle), SAV_OK);
  // Refused values leave the case as it was: a new case starts blank.
  EXPECT_EQ(sav_set_value_char(handle, s, "123456789"), SAV_VALUE_TOO_LONG);
  EXPECT_EQ(sav_set_value_char(handle, s, nullptr), SAV_OK);
  EXPECT_EQ(sav_commit_case_record(handle), SAV_OK);
  EXPECT_EQ(sav_set_value_numeric(handle, n, std::numeric_limits<double>::quiet_NaN()), SAV_OK);
  EXPECT_EQ(sav_commit_case_record(handle), SAV_OK);
  EXPECT_EQ(sav_close_write(handle), SAV_OK);

  const savtest::ReadOutcome read = savtest::readFile(folder.file("w.sav"));
  ASSERT_EQ(read.status, SAV_OK);
  ASSERT_EQ(read.file.cases.size(), 3u);
  EXPECT_EQ(read.file.cases[0][0], Cell(2.0));
  EXPECT_EQ(read.file.cases[0][1], Cell(std::string("abcdefgh")));
  EXPECT_EQ(read.file.cases[1][0], Cell(sav_system_missing_value()));
  EXPECT_EQ(read.file.cases[1][1], Cell(std::string(8, ' ')));
  EXPECT_EQ(read.file.cases[2][0], Cell(sav_system_missing_value()));
  EXPECT_EQ(sav_system_missing_value(), -DBL_MAX);
}

TEST(SavLibraryValueStatus, ReadingValues) {
  TemporaryFolder folder;
  writeSmallFile(folder.file("valid.sav"));
  int handle = -1;
  ASSERT_EQ(openRead(folder.file("valid.sav"), &handle), SAV_OK);
  double number = 0;
  double text = 0;
  ASSERT_EQ(sav_get_var_handle(handle, "Number", &number), SAV_OK);
  ASSERT_EQ(sav_get_var_handle(handle, "Text", &text), SAV_OK);
  double value = 0;
  char buffer[16];
  // No case yet.
  EXPECT_EQ(sav_get_value_numeric(handle, number, &value), SAV_INVALID_CASE);
  EXPECT_EQ(sav_get_value_char(handle, text, buffer, 9), SAV_INVALID_CASE);
  // Type mismatches and short buffers come first.
  EXPECT_EQ(sav_get_value_numeric(handle, text, &value), SAV_VARIABLE_NOT_NUMERIC);
  EXPECT_EQ(sav_get_value_char(handle, number, buffer, 16), SAV_VARIABLE_NOT_STRING);
  EXPECT_EQ(sav_get_value_char(handle, text, buffer, 8), SAV_BUFFER_TOO_SHORT);
  EXPECT_EQ(sav_get_value_char(handle, text, buffer, 0), SAV_BUFFER_TOO_SHORT);
  EXPECT_EQ(sav_get_value_char(handle, text, buffer, -3), SAV_BUFFER_TOO_SHORT);

  int count = 0;
  ASSERT_EQ(sav_get_number_of_cases(handle, &count), SAV_OK);
  EXPECT_EQ(count, 3);
  const std::vector<std::string> texts = {"one     ", "two     ", "three   "};
  for (int c = 0; c < 3; ++c) {
    ASSERT_EQ(sav_read_case_record(handle), SAV_OK);
    EXPECT_EQ(sav_get_value_numeric(handle, number, &value), SAV_OK);
    EXPECT_EQ(value, 1.5 + c);
    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(sav_get_value_char(handle, text, buffer, 9), SAV_OK);
    EXPECT_STREQ(buffer, texts[static_cast<std::size_t>(c)].c_str());
    EXPECT_EQ(sav_get_value_char(handle, text, buffer, 8), SAV_BUFFER_TOO_SHORT);
  }
  EXPECT_EQ(sav_read_case_record(handle), SAV_END_OF_CASES);
  EXPECT_EQ(sav_get_value_numeric(handle, number, &value), SAV_INVALID_CASE);
  EXPECT_EQ(sav_get_value_char(handle, text, buffer, 9), SAV_INVALID_CASE);
  EXPECT_EQ(sav_read_case_record(handle), SAV_END_OF_CASES);
  EXPECT_EQ(sav_close_read(handle), SAV_OK);
}

TEST(SavLibraryValueStatus, VariableNamesArrays) {
  TemporaryFolder folder;
  writeSmallFile(folder.file("valid.sav"));
  int handle = -1;
  ASSERT_EQ(openRead(folder.file("valid.sav"), &handle), SAV_OK);
  int count = 0;
  char** names = nullptr;
  int* types = nullptr;
  ASSERT_EQ(sav_get_var_names(handle, &count, &names, &types), SAV_OK);
  ASSERT_EQ(count, 3);
  EXPECT_STREQ(names[0], "Number");
  EXPECT_STREQ(names[1], "Text");
  EXPECT_STREQ(names[2], "Other");
  EXPECT_EQ(types[0], 0);
  EXPECT_EQ(types[1], 8);
  EXPECT_EQ(types[2], 0);
  EXPECT_EQ(sav_free_var_names(nullptr, types, 3), SAV_CANNOT_FREE_NAMES);
  EXPECT_EQ(sav_free_var_names(names, types, -1), SAV_CANNOT_FREE_NAMES);
  EXPECT_EQ(sav_free_var_names(names, types, count), SAV_OK);
  EXPECT_EQ(sav_free_var_names(nullptr, nullptr, 0), SAV_OK);
  EXPECT_EQ(sav_close_read(handle), SAV_OK);
}

// Null pointers where a result is to be stored: SAV_INTERNAL_ERROR, and no
// change to the file's state.
TEST(SavLibraryValueStatus, NullResultPointers) {
  TemporaryFolder folder;
  writeSmallFile(folder.file("valid.sav"));
  EXPECT_EQ(sav_open_read(folder.file("valid.sav").c_str(), nullptr), SAV_INTERNAL_ERROR);
  EXPECT_EQ(sav_open_write(folder.file("w.sav").c_str(), nullptr), SAV_INTERNAL_ERROR);
  int handle = -1;
  ASSERT_EQ(openRead(folder.file("valid.sav"), &handle), SAV_OK);
  int count = 0;
  char** names = nullptr;
  int* types = nullptr;
  double number = 0;
  EXPECT_EQ(sav_get_var_names(handle, nullptr, &names, &types), SAV_INTERNAL_ERROR);
  EXPECT_EQ(sav_get_var_names(handle, &count, nullptr, &types), SAV_INTERNAL_ERROR);
  EXPECT_EQ(sav_get_var_names(handle, &count, &names, nullptr), SAV_INTERNAL_ERROR);
  EXPECT_EQ(sav_get_number_of_cases(handle, nullptr), SAV_INTERNAL_ERROR);
  EXPECT_EQ(sav_get_var_handle(handle, "Number", nullptr), SAV_INTERNAL_ERROR);
  EXPECT_EQ(sav_get_string_value_label(handle, "Text", "one", nullptr), SAV_INTERNAL_ERROR);
  ASSERT_EQ(sav_get_var_handle(handle, "Number", &number), SAV_OK);
  ASSERT_EQ(sav_read_case_record(handle), SAV_OK);
  EXPECT_EQ(sav_get_value_numeric(handle, number, nullptr), SAV_INTERNAL_ERROR);
  double text = 0;
  ASSERT_EQ(sav_get_var_handle(handle, "Text", &text), SAV_OK);
  EXPECT_EQ(sav_get_value_char(handle, text, nullptr, 9), SAV_INTERNAL_ERROR);
  EXPECT_EQ(sav_close_read(handle), SAV_OK);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"valid.sav"});
}

// ---------------------------------------------------------------------------
// Value labels, on a file made with ReadStat directly (the library writes no
// value labels).

ssize_t writeToDescriptor(const void* data, size_t length, void* context) {
  return ::write(*static_cast<int*>(context), data, length);
}

void writeLabelledFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  int descriptor = fd;
  readstat_writer_t* writer = readstat_writer_init();
  readstat_set_data_writer(writer, writeToDescriptor);
  readstat_label_set_t* rowTypes = readstat_add_label_set(writer, READSTAT_TYPE_STRING, "rowtypes");
  readstat_label_string_value(rowTypes, "PROX", "Squared Euclidean Dissimilarity");
  readstat_label_string_value(rowTypes, "LONG", std::string(SAV_MAX_VALUE_LABEL_LENGTH, 'L').c_str());
  readstat_label_string_value(rowTypes, "UTF", (std::string(62, 'u') + "\xC3\xA9").c_str());
  readstat_label_set_t* codes = readstat_add_label_set(writer, READSTAT_TYPE_DOUBLE, "codes");
  readstat_label_double_value(codes, 1.0, "one");
  readstat_variable_t* rowType = readstat_add_variable(writer, "ROWTYPE_", READSTAT_TYPE_STRING, 8);
  readstat_variable_set_format(rowType, "A8");
  readstat_variable_set_label_set(rowType, rowTypes);
  readstat_variable_t* name = readstat_add_variable(writer, "NAME", READSTAT_TYPE_STRING, 12);
  readstat_variable_set_format(name, "A12");
  readstat_variable_t* code = readstat_add_variable(writer, "CODE", READSTAT_TYPE_DOUBLE, 0);
  readstat_variable_set_label_set(code, codes);
  readstat_variable_t* wide = readstat_add_variable(writer, "WIDE", READSTAT_TYPE_STRING, 300);
  readstat_variable_set_format(wide, "A300");
  ASSERT_EQ(readstat_begin_writing_sav(writer, &descriptor, 1), READSTAT_OK);
  ASSERT_EQ(readstat_begin_row(writer), READSTAT_OK);
  readstat_insert_string_value(writer, rowType, "PROX");
  readstat_insert_string_value(writer, name, "first");
  readstat_insert_double_value(writer, code, 1.0);
  readstat_insert_string_value(writer, wide, (std::string(290, 'w') + "end").c_str());
  ASSERT_EQ(readstat_end_row(writer), READSTAT_OK);
  ASSERT_EQ(readstat_end_writing(writer), READSTAT_OK);
  readstat_writer_free(writer);
  ::close(fd);
}

TEST(SavLibraryValueStatus, StringValueLabels) {
  TemporaryFolder folder;
  writeLabelledFile(folder.file("labels.sav"));
  int handle = -1;
  ASSERT_EQ(openRead(folder.file("labels.sav"), &handle), SAV_OK);
  char label[SAV_VALUE_LABEL_BUFFER + 8];
  const auto lookup = [&](const char* variable, const char* value) {
    std::memset(label, '#', sizeof label);
    return sav_get_string_value_label(handle, variable, value, label);
  };
  EXPECT_EQ(lookup("ROWTYPE_", "PROX"), SAV_OK);
  EXPECT_STREQ(label, "Squared Euclidean Dissimilarity");
  // Blank padding of the value does not matter; case does.
  EXPECT_EQ(lookup("rowtype_", "PROX    "), SAV_OK);
  EXPECT_STREQ(label, "Squared Euclidean Dissimilarity");
  EXPECT_EQ(lookup("ROWTYPE_", "prox"), SAV_NO_LABEL_FOR_VALUE);
  EXPECT_EQ(lookup("ROWTYPE_", "CORR"), SAV_NO_LABEL_FOR_VALUE);
  EXPECT_EQ(lookup("ROWTYPE_", ""), SAV_NO_LABEL_FOR_VALUE);
  EXPECT_EQ(lookup("ROWTYPE_", nullptr), SAV_NO_LABEL_FOR_VALUE);
  // The buffer holds the longest label a file can have, ended; a label
  // ending in a two-byte character comes whole.
  EXPECT_EQ(lookup("ROWTYPE_", "LONG"), SAV_OK);
  EXPECT_EQ(std::string(label), std::string(SAV_MAX_VALUE_LABEL_LENGTH, 'L'));
  EXPECT_EQ(label[SAV_VALUE_LABEL_BUFFER], '#') << "nothing written past the buffer";
  EXPECT_EQ(lookup("ROWTYPE_", "UTF"), SAV_OK);
  EXPECT_EQ(std::string(label), std::string(62, 'u') + "\xC3\xA9");
  // A value longer than the variable cannot be one of its values.
  EXPECT_EQ(lookup("ROWTYPE_", "PROXIMITY"), SAV_VALUE_TOO_LONG);
  EXPECT_EQ(lookup("NAME", "first"), SAV_NO_VALUE_LABELS);
  EXPECT_EQ(lookup("CODE", "1"), SAV_VARIABLE_NOT_STRING);
  EXPECT_EQ(lookup("WIDE", "x"), SAV_LONG_STRING);
  EXPECT_EQ(lookup("MISSING", "PROX"), SAV_VARIABLE_NOT_FOUND);
  EXPECT_EQ(lookup(nullptr, "PROX"), SAV_INVALID_VARIABLE_NAME);

  // The wide string itself is read whole.
  double wide = 0;
  ASSERT_EQ(sav_get_var_handle(handle, "WIDE", &wide), SAV_OK);
  ASSERT_EQ(sav_read_case_record(handle), SAV_OK);
  std::vector<char> buffer(301);
  EXPECT_EQ(sav_get_value_char(handle, wide, buffer.data(), 300), SAV_BUFFER_TOO_SHORT);
  EXPECT_EQ(sav_get_value_char(handle, wide, buffer.data(), 301), SAV_OK);
  EXPECT_EQ(std::string(buffer.data()), std::string(290, 'w') + "end" + std::string(7, ' '));
  EXPECT_EQ(sav_close_read(handle), SAV_OK);
}

// ---------------------------------------------------------------------------
// Failed writes leave nothing behind and keep an existing target.

class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &previous_);
    rlimit limited = previous_;
    limited.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit previous_{};
  void (*previousHandler_)(int) = nullptr;
};

FilePlan largerThan(std::size_t bytes) {
  FilePlan plan;
  plan.variables = {{"X", 0, ""}, {"Y", 0, ""}};
  for (std::size_t c = 0; c < bytes / 16 + 100; ++c) {
    plan.cases.push_back({static_cast<double>(c) + 0.5, static_cast<double>(c) * 3.0});
  }
  return plan;
}

TEST(SavLibraryWriteFailure, FailedWriteLeavesNoFile) {
  TemporaryFolder folder;
  const FilePlan plan = largerThan(4 << 20);
  savtest::WriteOutcome outcome;
  {
    const FileSizeLimit limit(1 << 20);
    outcome = savtest::writeFile(folder.file("big.sav"), plan);
  }
  // Cases go to the file as they are added: the first that does not fit fails.
  EXPECT_EQ(outcome.failedCall, "sav_commit_case_record");
  EXPECT_EQ(outcome.status, SAV_FILE_WRITE_ERROR);
  EXPECT_TRUE(folder.entries().empty());
}

TEST(SavLibraryWriteFailure, FailedWriteKeepsTheExistingTarget) {
  TemporaryFolder folder;
  writeSmallFile(folder.file("target.sav"));
  const std::vector<unsigned char> before = savtest::readBytes(folder.file("target.sav"));
  savtest::WriteOutcome outcome;
  {
    const FileSizeLimit limit(1 << 20);
    outcome = savtest::writeFile(folder.file("target.sav"), largerThan(4 << 20));
  }
  EXPECT_EQ(outcome.status, SAV_FILE_WRITE_ERROR);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"target.sav"});
  EXPECT_EQ(savtest::readBytes(folder.file("target.sav")), before);
  const savtest::ReadOutcome read = savtest::readFile(folder.file("target.sav"));
  EXPECT_EQ(read.status, SAV_OK);
  EXPECT_EQ(read.file.cases.size(), 3u);
}

TEST(SavLibraryWriteFailure, TargetThatCannotBeReplaced) {
  TemporaryFolder folder;
  const int handle = openWriter(folder.file("target.sav"), true);
  ASSERT_EQ(sav_commit_case_record(handle), SAV_OK);
  // Until closing, only the temporary file exists, next to the target.
  const std::vector<std::string> during = folder.entries();
  ASSERT_EQ(during.size(), 1u);
  EXPECT_NE(during[0], "target.sav");
  std::filesystem::create_directory(folder.path() / "target.sav");
  std::filesystem::create_directory(folder.path() / "target.sav" / "inside");
  EXPECT_EQ(sav_close_write(handle), SAV_FILE_WRITE_ERROR);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"target.sav"});
  EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "target.sav"));
}

TEST(SavLibraryWriteFailure, SuccessfulWriteReplacesTheTarget) {
  TemporaryFolder folder;
  savtest::writeBytes(folder.file("target.sav"), {'o', 'l', 'd'});
  const int handle = openWriter(folder.file("target.sav"), true);
  EXPECT_EQ(savtest::readBytes(folder.file("target.sav")),
            (std::vector<unsigned char>{'o', 'l', 'd'}))
      << "the target is not touched before closing";
  ASSERT_EQ(sav_commit_case_record(handle), SAV_OK);
  EXPECT_EQ(sav_close_write(handle), SAV_OK);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"target.sav"});
  const savtest::ReadOutcome read = savtest::readFile(folder.file("target.sav"));
  EXPECT_EQ(read.status, SAV_OK);
  EXPECT_EQ(read.file.cases.size(), 1u);
}

TEST(SavLibraryWriteFailure, CloseWithoutCommittedDictionaryWritesNothing) {
  TemporaryFolder folder;
  savtest::writeBytes(folder.file("target.sav"), {'o', 'l', 'd'});
  const int handle = openWriter(folder.file("target.sav"), false);
  EXPECT_EQ(sav_close_write(handle), SAV_DICTIONARY_NOT_COMMITTED);
  EXPECT_EQ(sav_close_write(handle), SAV_INVALID_HANDLE) << "the handle is released";
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"target.sav"});
  EXPECT_EQ(savtest::readBytes(folder.file("target.sav")), (std::vector<unsigned char>{'o', 'l', 'd'}));
}

}  // namespace
