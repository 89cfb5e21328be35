// PROXIMITIES in the package, end to end: a data file (a .sav written by PSPP
// or a CSV file) is opened, the command text Korvana builds is run with
// ExecuteCommands, and the matrix file it writes is read back with the matrix
// reader (loadProximityMatrix) and by PSPP. Also the output items,
// the filter, user-missing values and the commands that must fail.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "datafile/ProximityMatrixFile.h"
#include "SpssTestSupport.h"
#include "engine/ProximityMatrix.h"
#include "platform/spss/outputdoc/DocumentModel.h"
#include "platform/spss/outputdoc/OutputDocument.h"
#include "platform/host/MessageBoxes.h"
#include "platform/spss/ProximitiesMatrixFile.h"
#include "tests/common/TestFiles.h"

namespace {

using korvana::ProximityMatrix;
using korvana::spss::DocumentModel;
using korvana::spss::ItemKind;
using korvana::spss::LabelArray;
using korvana::spss::OutputItem;
using korvana::spss::StatisticsPackage;
using namespace korvana::automation;

// The small data set of four cases and three variables (v1 v2 v3) with an ID,
// and the same cases among others that the filter or a missing value leaves
// out (keep = 0 or missing; v2 = 99 and v3 <= -1 user-missing; v1
// system-missing). The four cases are 1, 3, 5 and 10 there; zero is 0 in
// every case.
const char* const smallData = R"(DATA LIST LIST /id (A8) v1 v2 v3 (F8.0).
BEGIN DATA
alpha 1 2 3
beta 4 0 3
gamma 2 2 8
delta 0 5 1
END DATA.
VARIABLE LABELS v1 'First' /v2 'Second' /v3 'Third'.
SAVE OUTFILE='small.sav'.
)";
const char* const mixedData = R"(DATA LIST LIST /id (A8) v1 v2 v3 keep zero (F8.0).
BEGIN DATA
alpha 1 2 3 1 0
omit 9 9 9 0 0
beta 4 0 3 1 0
umiss 1 99 1 1 0
gamma 2 2 8 1 0
smiss . 1 1 1 0
range 1 1 -5 1 0
fmiss 3 3 3 . 0
fuser 3 3 3 -9 0
delta 0 5 1 1 0
END DATA.
MISSING VALUES v2 (99) /v3 (LO THRU -1) /keep (-9).
SAVE OUTFILE='mixed.sav'.
)";

std::wstring wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::string padded(std::string text, std::size_t width) {
  text.resize(std::max(width, text.size()), ' ');
  return text;
}

class ProximitiesCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!spsstest::psppAvailable()) GTEST_SKIP() << "PSPP is not installed; it writes the data files";
    std::string log;
    ASSERT_EQ(spsstest::runPspp(folder_.path(), std::string(smallData) + mixedData, log), 0) << log;
  }

  // A name reserved as Korvana reserves it: an empty owner-only file.
  std::string reserveMatrixFile() {
    std::string pattern = folder_.file("kvanaXXXXXX");
    const int fd = ::mkstemp(pattern.data());
    EXPECT_GE(fd, 0);
    ::close(fd);
    return pattern;
  }

  void run(StatisticsPackage& package, const std::string& syntax) {
    ASSERT_EQ(package.ExecuteCommands(wide(syntax), 1), S_OK);
  }

  // Reads the matrix file; any message box the reader shows is in boxes_.
  bool load(const std::string& path, ProximityMatrix& matrix) {
    const korvana::host::ScopedMessageBoxService scoped(boxes_);
    return loadProximityMatrix(path, matrix);
  }

  static std::vector<double> lowerTriangle(const ProximityMatrix& matrix) {
    std::vector<double> values;
    for (int i = 1; i < matrix.getNumberOfObjects(); ++i)
      for (int j = 0; j < i; ++j) values.push_back(matrix.getProximity(i, j));
    return values;
  }

  static void expectValues(const std::vector<double>& actual, const std::vector<double>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k)
      EXPECT_NEAR(actual[k], expected[k], 1e-8 * std::max(1.0, std::fabs(expected[k]))) << "cell " << k;
  }

  static std::vector<const OutputItem*> itemsOf(const StatisticsPackage& package, ItemKind kind) {
    const DocumentModel& model = package.outputDocument()->model();
    std::vector<const OutputItem*> items;
    for (std::size_t i = 0; i < model.count(); ++i)
      if (model.item(i).kind == kind) items.push_back(&model.item(i));
    return items;
  }

  spsstest::TemporaryFolder folder_;
  spsstest::PackageGuard guard_;
  korvana::host::RecordingMessageBoxes boxes_;
};

TEST_F(ProximitiesCommandTest, CasesWithIdAndStandardizationFromASavFile) {
  auto package = StatisticsPackage::start(folder_.file("small.sav"));
  const std::string file = reserveMatrixFile();
  run(*package, "PROXIMITIES v1,v2,v3 /VIEW=CASE /STANDARDIZE=VARIABLE Z /MEASURE=SEUCLID /ID=id /PRINT=NONE "
                "/MATRIX=OUT('" + file + "').");
  EXPECT_TRUE(itemsOf(*package, ItemKind::error).empty());

  ProximityMatrix matrix;
  ASSERT_TRUE(load(file, matrix));
  EXPECT_TRUE(boxes_.shown().empty());
  ASSERT_EQ(matrix.getNumberOfObjects(), 4);
  // The Euclidean distances of Z scores, squared.
  std::vector<double> expected;
  for (double d : {2.006711428, 1.773864555, 2.261933545, 1.70560908, 3.437537688, 2.997399328})
    expected.push_back(d * d);
  expectValues(lowerTriangle(matrix), expected);
  EXPECT_TRUE(matrix.isDissimilarity());
  EXPECT_TRUE(matrix.isSquaredEuclidean());
  EXPECT_TRUE(matrix.hasLabelVariable());
  EXPECT_TRUE(matrix.hasCaseNumbers());
  const std::vector<std::string> ids = {"alpha", "beta", "gamma", "delta"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(matrix.getObjectLabel(i), padded(ids[static_cast<std::size_t>(i)], 8)) << "A8, as the ID variable";
    EXPECT_EQ(matrix.getRow(i).getCaseNumber(), i + 1);
    EXPECT_EQ(matrix.getRow(i).getName(), padded("VAR" + std::to_string(i + 1), 8)) << "VARNAME_ is A8";
    EXPECT_EQ(matrix.getRow(i).getRowType(), "PROX    ");
  }

  // The reserved file was overwritten and is still owner-only.
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  // PRINT=NONE: the summary table only.
  const auto tables = itemsOf(*package, ItemKind::table);
  ASSERT_EQ(tables.size(), 1u);
  const auto& summary = *tables[0]->table;
  EXPECT_EQ(tables[0]->label, "Proximities Summary");
  EXPECT_EQ(summary.cell(0, 0).value, "SEUCLID");
  EXPECT_EQ(summary.cell(1, 0).value, "4");
  EXPECT_EQ(summary.cell(2, 0).value, "0");
}

struct MeasureCase {
  const char* name;
  std::string command;  // between the variable list and /PRINT
  const char* data;     // small.sav or binary.csv
  std::vector<double> lower;
  bool isDissimilarity;
  bool isSquaredEuclidean;
  bool byCase;
};

class ProximitiesMeasureTest : public ProximitiesCommandTest,
                               public ::testing::WithParamInterface<MeasureCase> {};

TEST_P(ProximitiesMeasureTest, MatrixFileReadBackByTheMatrixReader) {
  const MeasureCase& c = GetParam();
  spsstest::writeText(folder_.file("binary.csv"), "p,q,r\n1,1,0\n0,1,0\n1,0,1\n1,1,1\n0,0,1\n");
  auto package = StatisticsPackage::start(folder_.file(c.data));
  const std::string file = reserveMatrixFile();
  const std::string variables = std::string(c.data) == "binary.csv" ? "p,q,r" : "v1,v2,v3";
  run(*package, "PROXIMITIES " + variables + " " + c.command + " /PRINT=PROXIMITIES /MATRIX=OUT('" + file + "').");
  ASSERT_TRUE(itemsOf(*package, ItemKind::error).empty()) << itemsOf(*package, ItemKind::error)[0]->text;

  ProximityMatrix matrix;
  ASSERT_TRUE(load(file, matrix));
  expectValues(lowerTriangle(matrix), c.lower);
  EXPECT_EQ(matrix.isDissimilarity(), c.isDissimilarity);
  EXPECT_EQ(matrix.isSquaredEuclidean(), c.isSquaredEuclidean);
  EXPECT_FALSE(matrix.hasLabelVariable());
  EXPECT_EQ(matrix.hasCaseNumbers(), c.byCase);
  const std::vector<std::string> names =
      c.byCase ? std::vector<std::string>{"VAR1", "VAR2", "VAR3", "VAR4"}
               : (variables == "p,q,r" ? std::vector<std::string>{"p", "q", "r"}
                                       : std::vector<std::string>{"v1", "v2", "v3"});
  ASSERT_EQ(matrix.getNumberOfObjects(), static_cast<int>(names.size()));
  for (int i = 0; i < matrix.getNumberOfObjects(); ++i) {
    EXPECT_EQ(matrix.getRow(i).getName(), padded(names[static_cast<std::size_t>(i)], 8));
    // Objects are labelled by their names unless cases are (then by the ID).
    EXPECT_EQ(matrix.getObjectLabel(i), c.byCase ? "" : padded(names[static_cast<std::size_t>(i)], 8));
    if (c.byCase) {
      EXPECT_EQ(matrix.getRow(i).getCaseNumber(), i + 1);
    }
  }

  // The printed matrix: the full symmetric matrix, labelled by the names.
  const auto tables = itemsOf(*package, ItemKind::table);
  ASSERT_EQ(tables.size(), 2u);
  EXPECT_EQ(tables[1]->label, "Proximity Matrix");
  const auto& printed = *tables[1]->table;
  ASSERT_EQ(printed.rows(), static_cast<std::int32_t>(names.size()));
  std::size_t k = 0;
  for (std::int32_t i = 0; i < printed.rows(); ++i) {
    EXPECT_EQ(printed.label(LabelArray::rows, i, 1).text, names[static_cast<std::size_t>(i)]);
    EXPECT_EQ(printed.label(LabelArray::columns, 1, i).text, names[static_cast<std::size_t>(i)]);
    for (std::int32_t j = 0; j < i; ++j, ++k) {
      EXPECT_NEAR(std::stod(printed.cell(i, j).value), c.lower[k], 1e-8 * std::max(1.0, std::fabs(c.lower[k])));
      EXPECT_EQ(printed.cell(j, i).value, printed.cell(i, j).value);
    }
  }
  EXPECT_EQ(printed.caption,
            c.isDissimilarity ? "This is a dissimilarity matrix." : "This is a similarity matrix.");
}

INSTANTIATE_TEST_SUITE_P(
    Measures, ProximitiesMeasureTest,
    ::testing::Values(
        MeasureCase{"Euclid", "/VIEW=CASE /MEASURE=EUCLID", "small.sav",
                    {std::sqrt(13.0), std::sqrt(26.0), std::sqrt(33.0), std::sqrt(14.0), std::sqrt(45.0),
                     std::sqrt(62.0)},
                    true, false, true},
        MeasureCase{"Seuclid", "/VIEW=CASE /MEASURE=SEUCLID", "small.sav", {13, 26, 33, 14, 45, 62}, true, true,
                    true},
        MeasureCase{"Correlation", "/VIEW=VARIABLE /MEASURE=CORRELATION", "small.sav",
                    {-0.9230930832, 0.3104757536, -0.3654995001}, false, false, false},
        MeasureCase{"ReversedCorrelation", "/VIEW=VARIABLE /MEASURE=CORRELATION ABSOLUTE REVERSE RESCALE",
                    "small.sav", {0, 1, 0.9101825172}, true, false, false},
        // Mismatches between the binary variables of the CSV file.
        MeasureCase{"Bseuclid", "/VIEW=VARIABLE /MEASURE=BSEUCLID(1,0)", "binary.csv", {2, 2, 4}, true, false,
                    false}),
    [](const ::testing::TestParamInfo<MeasureCase>& param) { return std::string(param.param.name); });

TEST_F(ProximitiesCommandTest, FilterAndMissingValuesLeaveCasesOutAndTheirNumbersKeepTheGaps) {
  auto package = StatisticsPackage::start(folder_.file("mixed.sav"));
  const std::string file = reserveMatrixFile();
  run(*package, "FILTER BY keep.\nPROXIMITIES v1 v2 v3 /view=case /measure=seuclid /id=ID /print=proximities\n"
                "  /matrix=out('" + file + "').");
  ASSERT_TRUE(itemsOf(*package, ItemKind::error).empty()) << itemsOf(*package, ItemKind::error)[0]->text;

  ProximityMatrix matrix;
  ASSERT_TRUE(load(file, matrix));
  expectValues(lowerTriangle(matrix), {13, 26, 33, 14, 45, 62});
  const std::vector<int> caseNumbers = {1, 3, 5, 10};
  const std::vector<std::string> ids = {"alpha", "beta", "gamma", "delta"};
  ASSERT_EQ(matrix.getNumberOfObjects(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(matrix.getRow(i).getCaseNumber(), caseNumbers[static_cast<std::size_t>(i)]);
    EXPECT_EQ(matrix.getObjectLabel(i), padded(ids[static_cast<std::size_t>(i)], 8));
  }

  const auto tables = itemsOf(*package, ItemKind::table);
  ASSERT_EQ(tables.size(), 2u);
  const auto& summary = *tables[0]->table;
  EXPECT_EQ(summary.cell(1, 0).value, "4") << "cases used";
  EXPECT_EQ(summary.cell(2, 0).value, "3") << "umiss, smiss and range";
  EXPECT_EQ(summary.cell(3, 0).value, "7") << "the filter leaves out omit, fmiss and fuser";
  // With /ID the printed matrix is labelled by the ID values.
  for (std::int32_t i = 0; i < 4; ++i)
    EXPECT_EQ(tables[1]->table->label(LabelArray::rows, i, 1).text, ids[static_cast<std::size_t>(i)]);
}

TEST_F(ProximitiesCommandTest, CommandsThatCannotRunWriteAnErrorItemAndNoFile) {
  auto package = StatisticsPackage::start(folder_.file("mixed.sav"));
  const std::string file = folder_.file("matrix");
  const std::string out = " /MATRIX=OUT('" + file + "').";
  struct Bad {
    std::string syntax;
    std::string reason;  // part of the error item's text
  };
  const std::vector<Bad> bad = {
      {"PROXIMITIES v1,v2,v3 /VIEW=CASE /MEASURE=SQUARED /PRINT=NONE" + out, "unknown measure \"SQUARED\""},
      {"PROXIMITIES v1,id /VIEW=CASE /MEASURE=EUCLID /PRINT=NONE" + out, "id"},
      {"PROXIMITIES v1,v2,nosuch /PRINT=NONE" + out, "nosuch"},
      {"PROXIMITIES v1,v2 /PRINT=NONE /FORMAT=WIDE" + out, "FORMAT"},
      {"FILTER BY zero.\nPROXIMITIES v1,v2,v3 /VIEW=CASE /MEASURE=EUCLID /PRINT=NONE" + out, "no case"},
  };
  for (const Bad& command : bad) {
    SCOPED_TRACE(command.syntax);
    run(*package, command.syntax);
    const auto errors = itemsOf(*package, ItemKind::error);
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors.back()->text.find("(PROXIMITIES)"), std::string::npos) << errors.back()->text;
    EXPECT_NE(errors.back()->text.find(command.reason), std::string::npos) << errors.back()->text;
    EXPECT_FALSE(std::filesystem::exists(file));
    package->setFilterVariable("");
  }
  EXPECT_EQ(itemsOf(*package, ItemKind::error).size(), bad.size());
  EXPECT_TRUE(itemsOf(*package, ItemKind::table).empty());

  // Split files are not supported; a folder that does not exist cannot hold
  // the file.
  package->setSplitVariables({"keep"});
  run(*package, "PROXIMITIES v1,v2,v3" + out);
  EXPECT_NE(itemsOf(*package, ItemKind::error).back()->text.find("split"), std::string::npos);
  package->setSplitVariables({});
  run(*package, "PROXIMITIES v1,v2,v3 /MATRIX=OUT('" + folder_.file("none/matrix") + "').");
  EXPECT_NE(itemsOf(*package, ItemKind::error).back()->text.find("could not be written"), std::string::npos)
      << itemsOf(*package, ItemKind::error).back()->text;
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_TRUE(itemsOf(*package, ItemKind::table).empty());
}

TEST_F(ProximitiesCommandTest, WithoutAnOpenDataSetTheCommandFails) {
  auto package = StatisticsPackage::start();
  package->closeDataDocument(0);  // the new, empty data set
  const std::string file = folder_.file("matrix");
  run(*package, "PROXIMITIES v1,v2 /MATRIX=OUT('" + file + "').");
  const auto errors = itemsOf(*package, ItemKind::error);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0]->text.find("no open data set"), std::string::npos) << errors[0]->text;
  EXPECT_FALSE(std::filesystem::exists(file));
}

// ---------------------------------------------------------------------------
// PSPP reads the matrix file.

std::vector<std::vector<std::string>> csvTable(const std::string& csv, const std::string& title) {
  std::vector<std::vector<std::string>> table;
  std::istringstream lines(csv);
  std::string line;
  bool inside = false;
  while (std::getline(lines, line)) {
    if (!inside) {
      inside = line == "Table: " + title;
      continue;
    }
    if (line.empty()) break;
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (char ch : line) {
      if (ch == '"') quoted = !quoted;
      else if (ch == ',' && !quoted) fields.push_back(std::exchange(field, {}));
      else field += ch;
    }
    fields.push_back(field);
    table.push_back(fields);
  }
  return table;
}

std::vector<std::string> column(const std::vector<std::vector<std::string>>& table, std::size_t index) {
  std::vector<std::string> values;
  for (std::size_t r = 1; r < table.size(); ++r) values.push_back(index < table[r].size() ? table[r][index] : "");
  return values;
}

TEST_F(ProximitiesCommandTest, PsppReadsTheMatrixFile) {
  auto package = StatisticsPackage::start(folder_.file("mixed.sav"));
  const std::string file = reserveMatrixFile();
  run(*package, "FILTER BY keep.\nPROXIMITIES v1,v2,v3 /VIEW=CASE /MEASURE=SEUCLID /ID=id /PRINT=NONE /MATRIX=OUT('" +
                    file + "').");
  ASSERT_TRUE(itemsOf(*package, ItemKind::error).empty());

  const std::string job = folder_.file("read.sps");
  spsstest::writeText(job, "GET FILE='" + file + "'.\nDISPLAY DICTIONARY.\nLIST.\n");
  const std::string csv = folder_.file("read.csv");
  const std::string command = "'" KORVANA_PSPP_PROGRAM "' -O format=csv -o '" + csv + "' '" + job + "' > '" +
                              folder_.file("read.log") + "' 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream in(csv);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.find("warning"), std::string::npos) << text;

  const auto variables = csvTable(text, "Variables");
  EXPECT_EQ(column(variables, 0), (std::vector<std::string>{"ROWTYPE_", "id", "CASENO_", "VARNAME_", "VAR1", "VAR2",
                                                            "VAR3", "VAR4"}));
  ASSERT_FALSE(variables.empty());
  const auto header = std::find(variables[0].begin(), variables[0].end(), "Label");
  ASSERT_NE(header, variables[0].end()) << text;
  const auto labels = column(variables, static_cast<std::size_t>(header - variables[0].begin()));
  EXPECT_EQ(std::vector<std::string>(labels.begin() + 4, labels.end()),
            (std::vector<std::string>{"CASE 1", "CASE 3", "CASE 5", "CASE 10"}));
  const auto valueLabels = csvTable(text, "Value Labels");
  ASSERT_EQ(valueLabels.size(), 2u) << text;
  EXPECT_EQ(valueLabels[1], (std::vector<std::string>{"ROWTYPE_", "PROX", "Proximities: SEUCLID, DISSIMILARITY"}));

  const auto list = csvTable(text, "Data List");
  ASSERT_EQ(list.size(), 5u) << text;
  const std::vector<std::vector<std::string>> expected = {
      {"PROX", "alpha", "1", "VAR1", ".000", "13.000", "26.000", "14.000"},
      {"PROX", "beta", "3", "VAR2", "13.000", ".000", "33.000", "45.000"},
      {"PROX", "gamma", "5", "VAR3", "26.000", "33.000", ".000", "62.000"},
      {"PROX", "delta", "10", "VAR4", "14.000", "45.000", "62.000", ".000"},
  };
  for (std::size_t r = 0; r < expected.size(); ++r) {
    std::vector<std::string> row;
    for (const std::string& value : list[r + 1]) {
      const std::size_t first = value.find_first_not_of(' ');
      row.push_back(first == std::string::npos ? "" : value.substr(first, value.find_last_not_of(' ') - first + 1));
    }
    EXPECT_EQ(row, expected[r]);
  }
}

// A matrix written into the temporary folder, the scratch file Korvana reads
// and removes, is not synced to disk; one anywhere else, a user's file, is.
TEST(ProximitiesMatrixFileSync, ScratchFilesAreThoseInTheTemporaryFolder) {
  spsstest::TemporaryFolder folder;
  const std::string temporary = folder.path().string();
  std::filesystem::create_directory(folder.path() / "sub");
  const korvana::test::ScopedVariable tmpdir("TMPDIR", temporary.c_str());
  const std::vector<std::pair<std::string, bool>> cases = {
      {temporary + "/kvanaAB12CD", true},
      {temporary + "/sub/../kvanaAB12CD", true},
      {temporary + "/sub/matrix.sav", false},
      {"/nonexistent-folder/matrix.sav", false},
  };
  for (const auto& [path, scratch] : cases)
    EXPECT_EQ(korvana::spss::ProximitiesMatrixFile::isScratchFile(path), scratch) << path;
}

}  // namespace
