// The wrappers of the data-file library: every condition that a library code
// stands for, provoked for real, must come out as the wrapper's fixed message;
// success codes and the "no label" codes must not raise.
#include "platform/spssio/SavUtilities.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <vector>

#include "DataFileTestSupport.h"
#include "common/EKorvanaError.h"
#include "platform/spssio/SavDataFileLibrary.h"

namespace korvana {
namespace {

class SavUtilities : public ::testing::Test {
 protected:
  /// A small file: numeric x (label), string s (A4, value labels on "a").
  std::string makeFile(const std::string& name = "small.sav") {
    const std::string file = folder_.path(name).string();
    const int h = savOpenWrite(file);
    savSetVarName(h, "x", 0);
    savSetVarName(h, "s", 4);
    savSetVarWriteFormat(h, "s", 1, 0, 4);
    savSetVarPrintFormat(h, "s", 1, 0, 4);
    savCommitHeader(h);
    const double x = savGetVarHandle(h, "x"), s = savGetVarHandle(h, "s");
    for (int i = 0; i < 3; ++i) {
      savSetValueNumeric(h, x, i);
      savSetValueChar(h, s, "ab");
      savCommitCaseRecord(h);
    }
    savCloseWrite(h);
    return file;
  }

  /// Expects `action` to raise exactly `message`.
  static void expectMessage(const std::function<void()>& action, const std::string& message) {
    try {
      action();
      ADD_FAILURE() << "no error, expected: " << message;
    } catch (const EKorvanaError& error) {
      EXPECT_EQ(error.what(), message);
    }
  }

  test::TemporaryFolder folder_;
};

TEST_F(SavUtilities, OpeningForReading) {
  expectMessage([&] { savOpenRead(folder_.path("missing.sav").string()); }, "Error opening file");
  expectMessage([&] { savOpenRead(""); }, "Error opening file");
  test::writeFile(folder_.path("text.sav"), "a,b\n1,2\n");
  expectMessage([&] { savOpenRead(folder_.path("text.sav").string()); }, "File is not a valid SPSS data file");

  // A valid header followed at once by the end of the dictionary has no
  // variable records; one whose variable records simply stop has no end.
  const std::string bytes = test::readFile(makeFile());
  const std::string header = bytes.substr(0, 176);
  const std::string endOfDictionary("\xe7\x03\x00\x00\x00\x00\x00\x00", 8);
  test::writeFile(folder_.path("novariables.sav"), header + endOfDictionary);
  expectMessage([&] { savOpenRead(folder_.path("novariables.sav").string()); },
                "File is not a valid SPSS data file (no type 2 record)");
  test::writeFile(folder_.path("noend.sav"), bytes.substr(0, 176 + 32));
  expectMessage([&] { savOpenRead(folder_.path("noend.sav").string()); },
                "File is not a valid SPSS data file (missing type 999 record)");

  const std::string file = makeFile();
  std::vector<int> handles;
  for (int i = 0; i < SAV_MAX_OPEN_FILES; ++i) handles.push_back(savOpenRead(file));
  expectMessage([&] { savOpenRead(file); }, "File table full (too many open SPSS data files)");
  for (int h : handles) savCloseRead(h);
  savCloseRead(savOpenRead(file));  // room again
}

TEST_F(SavUtilities, ReadingCallsAndTheirConditions) {
  const int h = savOpenRead(makeFile());
  char** names = nullptr;
  int* types = nullptr;
  const int count = savGetVarNames(h, names, types);
  ASSERT_EQ(count, 2);
  EXPECT_STREQ(names[0], "x");
  savFreeVarNames(count, names, types);
  expectMessage([] { savFreeVarNames(2, nullptr, nullptr); }, "Unable to free variable names and types");

  EXPECT_EQ(savGetNumberOfCases(h), 3);
  // No value labels at all: an empty text, no error.
  EXPECT_EQ(savGetStringValueLabel(h, "s", "ab"), "");
  expectMessage([&] { savGetStringValueLabel(h, "x", "1"); }, "The variable is numeric");
  expectMessage([&] { savGetStringValueLabel(h, "nope", "1"); }, "A variable with the given name does not exist");
  expectMessage([&] { savGetVarHandle(h, "nope"); }, "A variable with the given name does not exist");

  const double x = savGetVarHandle(h, "x"), s = savGetVarHandle(h, "s");
  expectMessage([&] { savGetValueNumeric(h, x); }, "Current case is not valid");
  ASSERT_TRUE(savReadCaseRecord(h));
  EXPECT_EQ(savGetValueNumeric(h, x), 0.0);
  EXPECT_EQ(savGetValueChar(h, s), "ab  ");  // padded to the variable's width
  expectMessage([&] { savGetValueChar(h, x); }, "Variable associated with the handle is numeric");
  expectMessage([&] { savGetValueNumeric(h, s); }, "Variable associated with the handle is not numeric");
  ASSERT_TRUE(savReadCaseRecord(h));
  ASSERT_TRUE(savReadCaseRecord(h));
  EXPECT_FALSE(savReadCaseRecord(h));  // after the last case: false, no error

  expectMessage([&] { savSetValueNumeric(h, x, 1); }, "File is open for reading, not writing");
  expectMessage([&] { savCommitHeader(h); }, "File is open for reading, not writing");
  savCloseRead(h);
  expectMessage([&] { savCloseRead(h); }, "The file handle is not valid");
  expectMessage([&] { savGetNumberOfCases(h); }, "The file handle is not valid");
}

TEST_F(SavUtilities, WritingCallsAndTheirConditions) {
  expectMessage([&] { savOpenWrite(folder_.path("no/such/folder.sav").string()); }, "Error opening file");
  const int h = savOpenWrite(folder_.path("w.sav").string());
  savSetFileLabel(h, std::string(200, 'L'));  // shortened by the library: success
  expectMessage([&] { savSetCompression(h, 7); }, "Invalid compression switch");
  expectMessage([&] { savCommitHeader(h); }, "No variables defined in the dictionary");
  expectMessage([&] { savSetVarName(h, "1abc", 0); }, "Invalid variable name");
  expectMessage([&] { savSetVarName(h, "x", 1000); }, "Invalid length code");
  savSetVarName(h, "x", 0);
  expectMessage([&] { savSetVarName(h, "X", 0); }, "There is already a variable with the same name");
  savSetVarLabel(h, "x", std::string(400, 'v'));  // shortened: success
  expectMessage([&] { savSetVarLabel(h, "y", "label"); }, "A variable with the given name does not exist");
  expectMessage([&] { savSetVarPrintFormat(h, "x", 1, 0, 8); },
                "The print format specification is invalid or is incompatible with the variable type");
  expectMessage([&] { savSetVarWriteFormat(h, "x", 1, 0, 8); },
                "The write format specification is invalid or is incompatible with the variable type");
  savSetVarName(h, "s", 3);
  expectMessage([&] { savGetVarHandle(h, "x"); }, "Dictionary of the output file has not yet been written");
  // A code outside the wrapper's own table raises its fallback text.
  expectMessage([&] { savCommitCaseRecord(h); }, "Unknow error");
  expectMessage([&] { savReadCaseRecord(h); }, "File is open for writing, not reading");
  expectMessage([&] { savGetNumberOfCases(h); }, "File is open for writing, not reading");

  savCommitHeader(h);
  expectMessage([&] { savSetVarName(h, "z", 0); }, "Dictionary has already been written");
  expectMessage([&] { savSetFileLabel(h, "late"); }, "Dictionary has already been written");
  const double x = savGetVarHandle(h, "x"), s = savGetVarHandle(h, "s");
  expectMessage([&] { savSetValueChar(h, s, "long"); }, "Value is longer than length of variable");
  expectMessage([&] { savSetValueChar(h, x, "a"); }, "Variable associated with the handle is not of type string");
  expectMessage([&] { savSetValueNumeric(h, s, 1); }, "Variable associated with the handle is not numeric");
  savSetValueNumeric(h, x, 1);
  savSetValueChar(h, s, "abc");
  savCommitCaseRecord(h);
  savCloseWrite(h);
  expectMessage([&] { savCloseWrite(h); }, "The file handle is not valid");
  expectMessage([&] { savDiscardWrite(h); }, "The file handle is not valid");

  // A file given up while it is written leaves nothing and keeps the old one.
  const int d = savOpenWrite(folder_.path("w.sav").string());
  savSetVarName(d, "y", 0);
  savCommitHeader(d);
  savSetValueNumeric(d, savGetVarHandle(d, "y"), 2);
  savCommitCaseRecord(d);
  savDiscardWrite(d);
  expectMessage([&] { savCommitCaseRecord(d); }, "The file handle is not valid");

  const int r = savOpenRead(folder_.path("w.sav").string());
  EXPECT_EQ(savGetNumberOfCases(r), 1);
  expectMessage([&] { savGetVarHandle(r, "y"); }, "A variable with the given name does not exist");
  savCloseRead(r);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.path("")), {}), 1);
}

TEST_F(SavUtilities, ValueLabelsOfAFileWrittenByPspp) {
  if (!test::psppAvailable()) GTEST_SKIP() << "PSPP (/usr/bin/pspp) is not installed";
  test::runPspp(folder_,
                "DATA LIST LIST /k (A8) n.\nBEGIN DATA\nPROX 1\nOTHER 2\nEND DATA.\n"
                "VALUE LABELS k 'PROX' 'A label'.\nSAVE OUTFILE='labels.sav'.\n");
  const int h = savOpenRead(folder_.path("labels.sav").string());
  EXPECT_EQ(savGetStringValueLabel(h, "k", "PROX"), "A label");
  EXPECT_EQ(savGetStringValueLabel(h, "k", "OTHER"), "");  // the value has no label
  savCloseRead(h);
}

}  // namespace
}  // namespace korvana
