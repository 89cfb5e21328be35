// PSPP as a peer: it must read the files this library writes (dictionary,
// formats, values, system-missing) without a warning, and the library must
// read the files PSPP writes (compressed, uncompressed, zlib-compressed,
// MATRIX DATA output, value labels, long strings).
#include "SavTestSupport.h"

#include "platform/spssio/SavDataFileLibrary.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

namespace {

using savtest::Cell;
using savtest::FilePlan;
using savtest::Format;
using savtest::TemporaryFolder;

#define SKIP_WITHOUT_PSPP()                                                              \
  if (!savtest::psppAvailable()) {                                                       \
    GTEST_SKIP() << "PSPP is not installed at " KORVANA_PSPP_PROGRAM                     \
                    " (Debian package pspp); the peer tests need it";                   \
  }

std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Diagnostics PSPP printed, if any.
std::string diagnostics(const std::string& log) {
  std::string found;
  std::size_t start = 0;
  while (start < log.size()) {
    std::size_t end = log.find('\n', start);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(start, end - start);
    if (line.find("warning") != std::string::npos || line.find("error") != std::string::npos) {
      found += line + "\n";
    }
    start = end + 1;
  }
  return found;
}

// ---------------------------------------------------------------------------
// Files written by the library, opened in PSPP.

class SavLibraryPsppReadsOurFiles : public ::testing::TestWithParam<int> {};

TEST_P(SavLibraryPsppReadsOurFiles, DictionaryFormatsAndValues) {
  SKIP_WITHOUT_PSPP();
  TemporaryFolder folder;
  FilePlan plan;
  plan.fileLabel = "Korvana fit table";
  plan.compression = GetParam();
  plan.variables = {
      {"CaseNo", 0, "Case number", Format{5, 8, 0}, Format{5, 8, 0}},
      {"ObjectName", 32, "Object name", Format{1, 32, 0}, Format{1, 32, 0}},
      {"Coefficient", 0, "Agglomeration coefficient", Format{17, 8, 0}, Format{17, 8, 0}},
      {"Fit", 0, "Cophenetic correlation", Format{5, 8, 6}, Format{5, 8, 6}},
      {"SumOfSquaredDifferences", 0, "", Format{5, 12, 4}, Format{5, 14, 6}},
      // Names whose 8-byte short names collide in naive schemes.
      {"LONGNAME_1", 0, "", Format{5, 8, 0}, std::nullopt},
      {"V3_A", 0, "", Format{5, 8, 0}, std::nullopt},
      {"LONGNAME_2", 0, "", Format{5, 8, 0}, std::nullopt},
  };
  const double sysmis = -DBL_MAX;
  plan.cases = {
      {1.0, std::string("alpha"), 300000.0, 0.123456, 12.5, 11.0, 12.0, 13.0},
      {2.0, std::string("beta gamma"), sysmis, 1.0, 0.0, 21.0, 22.0, 23.0},
      {sysmis, std::string(""), 0.002, sysmis, std::numeric_limits<double>::quiet_NaN(), 31.0, 32.0, 33.0},
  };
  const std::string path = folder.file("ours.sav");
  const savtest::WriteOutcome outcome = savtest::writeFile(path, plan);
  ASSERT_EQ(outcome.failedCall, "") << outcome.status;

  const savtest::PsppRun run = savtest::runPspp(
      folder.path(), "GET FILE='ours.sav'.\nDISPLAY FILE LABEL.\nDISPLAY DICTIONARY.\nLIST.\n");
  ASSERT_EQ(run.exitCode, 0) << run.log;
  EXPECT_EQ(diagnostics(run.log), "") << "PSPP complained about the file";

  const auto fileLabel = savtest::csvTable(run.csv, "File Label");
  ASSERT_EQ(fileLabel.size(), 1u) << run.csv;
  EXPECT_EQ(fileLabel[0], (std::vector<std::string>{"Label", "Korvana fit table"}));

  const auto variables = savtest::csvTable(run.csv, "Variables");
  ASSERT_EQ(variables.size(), plan.variables.size() + 1) << run.csv;
  const auto names = savtest::csvColumn(variables, "Name");
  const auto labels = savtest::csvColumn(variables, "Label");
  const auto print = savtest::csvColumn(variables, "Print Format");
  const auto write = savtest::csvColumn(variables, "Write Format");
  EXPECT_EQ(names, (std::vector<std::string>{"CaseNo", "ObjectName", "Coefficient", "Fit",
                                             "SumOfSquaredDifferences", "LONGNAME_1", "V3_A",
                                             "LONGNAME_2"}));
  EXPECT_EQ(labels, (std::vector<std::string>{"Case number", "Object name",
                                              "Agglomeration coefficient",
                                              "Cophenetic correlation", "", "", "", ""}));
  EXPECT_EQ(print, (std::vector<std::string>{"F8.0", "A32", "E8.0", "F8.6", "F12.4", "F8.0",
                                             "F8.0", "F8.0"}));
  EXPECT_EQ(write, (std::vector<std::string>{"F8.0", "A32", "E8.0", "F8.6", "F14.6", "F8.2",
                                             "F8.2", "F8.2"}));

  const auto list = savtest::csvTable(run.csv, "Data List");
  ASSERT_EQ(list.size(), plan.cases.size() + 1) << run.csv;
  EXPECT_EQ(list[0], names);
  for (std::size_t c = 0; c < plan.cases.size(); ++c) {
    ASSERT_EQ(list[c + 1].size(), plan.variables.size());
    for (std::size_t v = 0; v < plan.variables.size(); ++v) {
      SCOPED_TRACE("case " + std::to_string(c) + " variable " + plan.variables[v].name);
      const std::string shown = trimmed(list[c + 1][v]);
      if (const std::string* text = std::get_if<std::string>(&plan.cases[c][v])) {
        EXPECT_EQ(shown, *text);
        continue;
      }
      const double value = std::get<double>(plan.cases[c][v]);
      if (value == sysmis || value != value) {
        EXPECT_EQ(shown, ".") << "system-missing";
        continue;
      }
      ASSERT_FALSE(shown.empty());
      char* end = nullptr;
      const double parsed = std::strtod(shown.c_str(), &end);
      EXPECT_EQ(*end, '\0') << shown;
      // Every value was chosen to be shown exactly in its print format.
      EXPECT_NEAR(parsed, value, 1e-9 * std::max(1.0, std::abs(value))) << shown;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Compression, SavLibraryPsppReadsOurFiles, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& p) {
                           return p.param ? std::string("Bytecode") : std::string("None");
                         });

// ---------------------------------------------------------------------------
// Files written by PSPP, read by the library.

const char* const kProximitySyntax = R"(DATA LIST LIST /ROWTYPE_ (A8) ID (A12) CASENO_ (F8.0) VARNAME_ (A8) V1 (F8.4) V2 (F8.4) V3 (F8.4) LongStringVar (A300).
BEGIN DATA.
PROX alpha 1 V1 0 2.5 3.25 "a long value"
PROX beta 2 V2 2.5 0 . "b"
PROX gamma 3 V3 3.25 . 0 "c"
END DATA.
VALUE LABELS ROWTYPE_ 'PROX' 'Squared Euclidean Dissimilarity'
  /ID 'alpha' 'First object' 'beta' 'Second object'.
VARIABLE LABELS V1 'first column'.
FILE LABEL 'Proximity matrix'.
SAVE OUTFILE='compressed.sav' /COMPRESSED.
SAVE OUTFILE='uncompressed.sav' /UNCOMPRESSED.
SAVE OUTFILE='zlib.zsav' /ZCOMPRESSED.
)";

class SavLibraryReadsPsppFiles : public ::testing::TestWithParam<std::string> {};

TEST_P(SavLibraryReadsPsppFiles, ProximityMatrixLayout) {
  SKIP_WITHOUT_PSPP();
  TemporaryFolder folder;
  const savtest::PsppRun run = savtest::runPspp(folder.path(), kProximitySyntax);
  ASSERT_EQ(run.exitCode, 0) << run.log;
  const std::string path = folder.file(GetParam());

  const savtest::ReadOutcome read = savtest::readFile(path);
  ASSERT_EQ(read.failedCall, "") << read.status;
  const std::vector<std::string> names = {"ROWTYPE_", "ID", "CASENO_", "VARNAME_",
                                          "V1", "V2", "V3", "LongStringVar"};
  const std::vector<int> types = {8, 12, 0, 8, 0, 0, 0, 300};
  ASSERT_EQ(read.file.variables.size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(read.file.variables[i].name, names[i]);
    EXPECT_EQ(read.file.variables[i].type, types[i]) << names[i];
  }
  EXPECT_EQ(read.file.caseCount, 3);
  EXPECT_EQ(read.file.endStatus, SAV_END_OF_CASES);
  const double sysmis = sav_system_missing_value();
  const auto pad = [](std::string text, std::size_t width) {
    text.resize(width, ' ');
    return text;
  };
  const std::vector<std::vector<Cell>> expected = {
      {pad("PROX", 8), pad("alpha", 12), 1.0, pad("V1", 8), 0.0, 2.5, 3.25, pad("a long value", 300)},
      {pad("PROX", 8), pad("beta", 12), 2.0, pad("V2", 8), 2.5, 0.0, sysmis, pad("b", 300)},
      {pad("PROX", 8), pad("gamma", 12), 3.0, pad("V3", 8), 3.25, sysmis, 0.0, pad("c", 300)},
  };
  EXPECT_EQ(read.file.cases, expected);

  int handle = -1;
  ASSERT_EQ(sav_open_read(path.c_str(), &handle), SAV_OK);
  char label[SAV_VALUE_LABEL_BUFFER];
  EXPECT_EQ(sav_get_string_value_label(handle, "ROWTYPE_", "PROX", label), SAV_OK);
  EXPECT_STREQ(label, "Squared Euclidean Dissimilarity");
  EXPECT_EQ(sav_get_string_value_label(handle, "ROWTYPE_", "CORR", label), SAV_NO_LABEL_FOR_VALUE);
  EXPECT_EQ(sav_get_string_value_label(handle, "id", "alpha", label), SAV_OK);
  EXPECT_STREQ(label, "First object");
  EXPECT_EQ(sav_get_string_value_label(handle, "ID", "beta        ", label), SAV_OK);
  EXPECT_STREQ(label, "Second object");
  EXPECT_EQ(sav_get_string_value_label(handle, "ID", "gamma", label), SAV_NO_LABEL_FOR_VALUE);
  EXPECT_EQ(sav_get_string_value_label(handle, "VARNAME_", "V1", label), SAV_NO_VALUE_LABELS);
  EXPECT_EQ(sav_get_string_value_label(handle, "CASENO_", "1", label), SAV_VARIABLE_NOT_STRING);
  EXPECT_EQ(sav_get_string_value_label(handle, "LongStringVar", "b", label), SAV_LONG_STRING);
  EXPECT_EQ(sav_close_read(handle), SAV_OK);
}

INSTANTIATE_TEST_SUITE_P(Files, SavLibraryReadsPsppFiles,
                         ::testing::Values("compressed.sav", "uncompressed.sav", "zlib.zsav"),
                         [](const ::testing::TestParamInfo<std::string>& p) {
                           return p.param.substr(0, p.param.find('.'));
                         });

TEST(SavLibraryReadsPsppMatrixData, RowTypeAndVariableNameColumns) {
  SKIP_WITHOUT_PSPP();
  TemporaryFolder folder;
  const savtest::PsppRun run = savtest::runPspp(folder.path(), R"(MATRIX DATA VARIABLES=ROWTYPE_ v1 v2 v3 /FORMAT=FULL.
BEGIN DATA.
CORR 1 .5 .25
CORR .5 1 .125
CORR .25 .125 1
END DATA.
SAVE OUTFILE='matrix.sav'.
)");
  ASSERT_EQ(run.exitCode, 0) << run.log;
  const savtest::ReadOutcome read = savtest::readFile(folder.file("matrix.sav"));
  ASSERT_EQ(read.failedCall, "") << read.status;
  ASSERT_EQ(read.file.variables.size(), 5u);
  EXPECT_EQ(read.file.variables[0].name, "ROWTYPE_");
  EXPECT_EQ(read.file.variables[0].type, 8);
  EXPECT_EQ(read.file.variables[1].name, "VARNAME_");
  EXPECT_EQ(read.file.variables[1].type, 8);
  EXPECT_EQ(read.file.variables[2].name, "v1");
  EXPECT_EQ(read.file.variables[2].type, 0);
  const std::vector<std::vector<Cell>> expected = {
      {std::string("CORR    "), std::string("v1      "), 1.0, 0.5, 0.25},
      {std::string("CORR    "), std::string("v2      "), 0.5, 1.0, 0.125},
      {std::string("CORR    "), std::string("v3      "), 0.25, 0.125, 1.0},
  };
  EXPECT_EQ(read.file.cases, expected);
  // Names are looked up without regard to case.
  int handle = -1;
  ASSERT_EQ(sav_open_read(folder.file("matrix.sav").c_str(), &handle), SAV_OK);
  double v2 = 0;
  EXPECT_EQ(sav_get_var_handle(handle, "V2", &v2), SAV_OK);
  EXPECT_EQ(sav_close_read(handle), SAV_OK);
}

// Windows-1252 text that doubles in UTF-8 outgrows its variable and is kept whole
// on the side of the cases. The cases stream through a window of some 16,000
// slots, two and a half times over: the parser fills and clears slots while the
// reader takes the cases before them, with the long values of cases 3 and 20003
// on the side for a while and none at other times.
TEST(SavLibraryReadsPsppFiles, TextLongerInUtf8StreamsWholeThroughTheWindow) {
  SKIP_WITHOUT_PSPP();
  TemporaryFolder folder;
  const savtest::PsppRun run = savtest::runPspp(folder.path(), R"(SET LOCALE='windows-1252'.
INPUT PROGRAM.
LOOP #i = 1 TO 40000.
COMPUTE n = #i.
END CASE.
END LOOP.
END FILE.
END INPUT PROGRAM.
STRING s (A255).
DO IF MOD(n, 20000) = 3.
COMPUTE s = RPAD(STRING(n, F5), 255, 'é').
ELSE.
COMPUTE s = STRING(n, F5).
END IF.
SAVE OUTFILE='latin1.sav' /COMPRESSED.
)");
  ASSERT_EQ(run.exitCode, 0) << run.log;
  int handle = -1;
  ASSERT_EQ(sav_open_read(folder.file("latin1.sav").c_str(), &handle), SAV_OK);
  double number = 0;
  double text = 0;
  ASSERT_EQ(sav_get_var_handle(handle, "n", &number), SAV_OK);
  ASSERT_EQ(sav_get_var_handle(handle, "s", &text), SAV_OK);
  std::string buffer(2 * 255 + 1, '\0');
  int wrong = 0;
  for (int i = 1; i <= 40000; ++i) {
    ASSERT_EQ(sav_read_case_record(handle), SAV_OK) << "case " << i;
    double n = 0;
    ASSERT_EQ(sav_get_value_numeric(handle, number, &n), SAV_OK);
    ASSERT_EQ(sav_get_value_char(handle, text, buffer.data(), static_cast<int>(buffer.size())), SAV_OK);
    std::string expected = std::string(5 - std::to_string(i).size(), ' ') + std::to_string(i);
    if (i % 20000 == 3) {
      for (int k = 5; k < 255; ++k) expected += "\xc3\xa9";
    } else {
      expected.resize(255, ' ');
    }
    if (n != i || buffer.c_str() != expected) ++wrong;
  }
  EXPECT_EQ(wrong, 0) << "cases with a wrong number or text";
  EXPECT_EQ(sav_read_case_record(handle), SAV_END_OF_CASES);
  EXPECT_EQ(sav_close_read(handle), SAV_OK);
}

// A file PSPP wrote and the library rewrote reads the same in PSPP.
TEST(SavLibraryPsppRoundTrip, PsppFileCopiedByTheLibrary) {
  SKIP_WITHOUT_PSPP();
  TemporaryFolder folder;
  ASSERT_EQ(savtest::runPspp(folder.path(), kProximitySyntax).exitCode, 0);
  const savtest::ReadOutcome read = savtest::readFile(folder.file("compressed.sav"));
  ASSERT_EQ(read.failedCall, "");
  FilePlan copy;
  copy.compression = 1;
  for (const auto& variable : read.file.variables) {
    if (variable.type > SAV_MAX_SHORT_STRING) continue;  // not writable: long strings
    copy.variables.push_back({variable.name, variable.type, ""});
  }
  for (const auto& row : read.file.cases) {
    std::vector<Cell> kept;
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (read.file.variables[i].type <= SAV_MAX_SHORT_STRING) kept.push_back(row[i]);
    }
    copy.cases.push_back(kept);
  }
  ASSERT_EQ(savtest::writeFile(folder.file("copy.sav"), copy).failedCall, "");
  const savtest::PsppRun original =
      savtest::runPspp(folder.path(), "GET FILE='compressed.sav' /DROP=LongStringVar.\nLIST.\n");
  const savtest::PsppRun copied = savtest::runPspp(folder.path(), "GET FILE='copy.sav'.\nLIST.\n");
  ASSERT_EQ(original.exitCode, 0) << original.log;
  ASSERT_EQ(copied.exitCode, 0) << copied.log;
  EXPECT_EQ(diagnostics(copied.log), "");
  const auto originalList = savtest::csvTable(original.csv, "Data List");
  ASSERT_EQ(originalList.size(), 4u) << original.csv;
  // Formats differ (the copy has the default F8.2), so values are compared
  // as numbers and texts.
  const auto copiedList = savtest::csvTable(copied.csv, "Data List");
  ASSERT_EQ(copiedList.size(), originalList.size()) << copied.csv;
  EXPECT_EQ(copiedList[0], originalList[0]);
  for (std::size_t r = 1; r < originalList.size(); ++r) {
    ASSERT_EQ(copiedList[r].size(), originalList[r].size());
    for (std::size_t c = 0; c < originalList[r].size(); ++c) {
      const std::string a = trimmed(originalList[r][c]);
      const std::string b = trimmed(copiedList[r][c]);
      char* endA = nullptr;
      char* endB = nullptr;
      const double x = std::strtod(a.c_str(), &endA);
      const double y = std::strtod(b.c_str(), &endB);
      if (!a.empty() && *endA == '\0' && !b.empty() && *endB == '\0') {
        EXPECT_DOUBLE_EQ(x, y) << a << " vs " << b;
      } else {
        EXPECT_EQ(a, b);
      }
    }
  }
}

}  // namespace
