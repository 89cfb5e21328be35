// Data documents opened from real files: a .sav written by PSPP, .dta, .xpt
// and .sas7bdat files written by ReadStat, and CSV; their dictionary, selection settings
// and case data as the automation interface gives them.
#include <gtest/gtest.h>

#include <readstat.h>

#include <cstdio>

#include "SpssTestSupport.h"
#include "common/EKorvanaError.h"
#include "platform/spss/CsvDataSetReader.h"
#include "platform/spss/DataSet.h"
#include "platform/spss/DataSetLoader.h"
#include "platform/spss/StatisticsPackage.h"

namespace {

using namespace korvana::automation;
using korvana::spss::StatisticsPackage;
using Spsswin_tlb::ISpssDataDoc;

struct Dictionary {
  std::vector<std::string> names, labels;
  std::vector<std::int32_t> types, levels, labelCounts;
  std::int32_t count = -1;
};

Dictionary dictionaryOf(ISpssDataDoc& data) {
  Dictionary d;
  EXPECT_EQ(data.GetVariableInfo(&d.names, &d.labels, &d.types, &d.levels, &d.labelCounts, &d.count), S_OK);
  return d;
}

TextArray2D textData(ISpssDataDoc& data, const std::string& first, const std::string& last, std::int32_t firstCase,
                     std::int32_t lastCase) {
  TextArray2D values;
  EXPECT_EQ(data.GetTextData(first, last, firstCase, lastCase, &values), S_OK);
  return values;
}

AutomationPtr<ISpssDataDoc> activeDocument(StatisticsPackage& package) {
  AutomationPtr<ISpssDataDoc> data;
  EXPECT_EQ(package.documents().GetDataDoc(0, data.put()), S_OK);
  return data;
}

// A small survey for PSPP to save: an id, a name, a score with one missing
// value, a frequency weight and a group with value labels.
const char* const surveySyntax = R"(DATA LIST LIST /id (F4.0) name (A12) score (F8.2) freq (F3.0) group (F2.0).
BEGIN DATA
1 "Ann" 12.5 2 1
2 "Bob" 7 1 2
3 "Cecilia" . 3 1
END DATA.
VARIABLE LABELS id 'Case number' /name 'First name' /score 'Test score' /freq 'Frequency'.
VALUE LABELS group 1 'Control' 2 'Treatment' /name 'Ann' 'First'.
VARIABLE LEVEL id (ORDINAL) /group (NOMINAL) /score freq (SCALE).
WEIGHT BY freq.
)";

class DataDocumentTest : public ::testing::Test {
 protected:
  // Has PSPP save the survey as a .sav file; empty without PSPP.
  std::string psppSurvey(const std::string& fileName) {
    if (!spsstest::psppAvailable()) return std::string();
    std::string log;
    const int status =
        spsstest::runPspp(folder_.path(), surveySyntax + std::string("SAVE OUTFILE='") + fileName + "'.\n", log);
    EXPECT_EQ(status, 0) << log;
    return folder_.file(fileName);
  }

  spsstest::TemporaryFolder folder_;
  spsstest::PackageGuard guard_;
};

#define SKIP_WITHOUT_PSPP()                                                                \
  if (!spsstest::psppAvailable()) GTEST_SKIP() << "pspp is not installed (Debian package pspp)"

TEST_F(DataDocumentTest, SavFromPsppGivesItsDictionaryWeightAndCases) {
  SKIP_WITHOUT_PSPP();
  const std::string path = psppSurvey("survey.sav");
  auto package = StatisticsPackage::start(path);
  auto data = activeDocument(*package);
  ASSERT_TRUE(data);

  std::string documentPath;
  ASSERT_EQ(data->GetDocumentPath(&documentPath), S_OK);
  EXPECT_EQ(documentPath, path);
  std::int32_t number = 0;
  ASSERT_EQ(data->GetNumberOfCases(&number), S_OK);
  EXPECT_EQ(number, 3);
  ASSERT_EQ(data->GetNumberOfVariables(&number), S_OK);
  EXPECT_EQ(number, 5);

  const Dictionary d = dictionaryOf(*data);
  EXPECT_EQ(d.count, 5);
  EXPECT_EQ(d.names, (std::vector<std::string>{"id", "name", "score", "freq", "group"}));
  EXPECT_EQ(d.labels, (std::vector<std::string>{"Case number", "First name", "Test score", "Frequency", ""}));
  EXPECT_EQ(d.types, (std::vector<std::int32_t>{0, 12, 0, 0, 0}));
  using namespace korvana::spss;
  EXPECT_EQ(d.levels, (std::vector<std::int32_t>{measurementOrdinal, measurementNominal, measurementScale,
                                                  measurementScale, measurementNominal}));
  EXPECT_EQ(d.labelCounts, (std::vector<std::int32_t>{0, 1, 0, 0, 2}));

  std::string text;
  ASSERT_EQ(data->GetWeightingVariable(1, &text), S_OK);
  EXPECT_EQ(text, "freq\tFrequency") << "the weight the file records";
  ASSERT_EQ(data->GetWeightingVariable(0, &text), S_OK);
  EXPECT_EQ(text, "freq");
  ASSERT_EQ(data->GetFilterVariable(1, &text), S_OK);
  EXPECT_EQ(text, "");
  std::vector<std::string> split{"stale"};
  ASSERT_EQ(data->GetSplitVariables(&split, &number), S_OK);
  EXPECT_EQ(number, 0);
  EXPECT_TRUE(split.empty());

  EXPECT_EQ(textData(*data, "id", "group", 1, 3),
            (TextArray2D{{"1", "Ann", "12.5", "2", "1"},
                         {"2", "Bob", "7", "1", "2"},
                         {"3", "Cecilia", ".", "3", "1"}}));
  EXPECT_EQ(textData(*data, "NAME", "score", 2, 3), (TextArray2D{{"Bob", "7"}, {"Cecilia", "."}}))
      << "names in any case; a block from the middle";
  EXPECT_EQ(textData(*data, "group", "group", 1, 3), (TextArray2D{{"1"}, {"2"}, {"1"}}));
}

// PSPP's EXPORT fills the unused places of a portable file's character table
// with "0"; the file reads as the same survey (names in capitals, as the
// format stores them).
TEST_F(DataDocumentTest, PortableFilesExportedByPsppAreRead) {
  SKIP_WITHOUT_PSPP();
  std::string log;
  ASSERT_EQ(spsstest::runPspp(folder_.path(), surveySyntax + std::string("EXPORT OUTFILE='survey.por'.\n"), log), 0)
      << log;
  auto package = StatisticsPackage::start(folder_.file("survey.por"));
  auto data = activeDocument(*package);
  ASSERT_TRUE(data);
  const Dictionary d = dictionaryOf(*data);
  EXPECT_EQ(d.names, (std::vector<std::string>{"ID", "NAME", "SCORE", "FREQ", "GROUP"}));
  EXPECT_EQ(d.labels, (std::vector<std::string>{"Case number", "First name", "Test score", "Frequency", ""}));
  EXPECT_EQ(textData(*data, "id", "group", 1, 3),
            (TextArray2D{{"1", "Ann", "12.5", "2", "1"},
                         {"2", "Bob", "7", "1", "2"},
                         {"3", "Cecilia", ".", "3", "1"}}));
}

// A file cut at a case boundary reads like a shorter one; the case count its
// header declares tells it apart, and the package refuses it.
TEST_F(DataDocumentTest, ASavFileThatEndsBeforeItsDeclaredCasesIsRefused) {
  SKIP_WITHOUT_PSPP();
  std::string log;
  ASSERT_EQ(spsstest::runPspp(folder_.path(),
                              surveySyntax + std::string("SAVE OUTFILE='three.sav' /UNCOMPRESSED.\n"
                                                         "N OF CASES 2.\nSAVE OUTFILE='two.sav' /UNCOMPRESSED.\n"),
                              log),
            0)
      << log;
  const std::string three = spsstest::readText(folder_.file("three.sav"));
  const std::size_t caseSize = three.size() - spsstest::readText(folder_.file("two.sav")).size();
  const std::string cut = folder_.file("cut.sav");
  spsstest::writeText(cut, three.substr(0, three.size() - 2 * caseSize));
  try {
    StatisticsPackage::start(cut);
    FAIL() << "a cut file was read";
  } catch (const korvana::EKorvanaError& error) {
    EXPECT_EQ(std::string(error.what()),
              "The data file " + cut + " could not be read: it ends after 1 of the 3 cases its header declares");
  }
}

// Writes a small file through ReadStat's writer: x (numeric, labelled
// "Score", with two value labels where the format keeps them, and a missing
// value in the last case) and s (a string of width 5).
enum class WrittenFormat { dta, xpt, sas7bdat };

bool writeWithReadStat(const std::string& path, WrittenFormat format) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  readstat_writer_t* writer = readstat_writer_init();
  readstat_set_data_writer(writer, [](const void* bytes, size_t length, void* context) -> ssize_t {
    return static_cast<ssize_t>(std::fwrite(bytes, 1, length, static_cast<std::FILE*>(context)));
  });
  readstat_variable_t* x = readstat_add_variable(writer, "x", READSTAT_TYPE_DOUBLE, 0);
  readstat_variable_set_label(x, "Score");
  if (format == WrittenFormat::dta) {
    readstat_label_set_t* labels = readstat_add_label_set(writer, READSTAT_TYPE_DOUBLE, "xlabels");
    readstat_label_double_value(labels, 1, "one");
    readstat_label_double_value(labels, 2, "two");
    readstat_variable_set_label_set(x, labels);
  }
  readstat_variable_t* s = readstat_add_variable(writer, "s", READSTAT_TYPE_STRING, 5);
  constexpr long rows = 3;
  readstat_error_t begun = READSTAT_OK;
  switch (format) {
    case WrittenFormat::dta:
      begun = readstat_begin_writing_dta(writer, file, rows);
      break;
    case WrittenFormat::xpt:
      begun = readstat_begin_writing_xport(writer, file, rows);
      break;
    case WrittenFormat::sas7bdat:
      begun = readstat_begin_writing_sas7bdat(writer, file, rows);
      break;
  }
  bool ok = begun == READSTAT_OK;
  const double xs[] = {1.0, 0.0};
  const char* ss[] = {"ab", "hello", ""};
  for (int row = 0; ok && row < rows; ++row) {
    ok = readstat_begin_row(writer) == READSTAT_OK &&
         (row < 2 ? readstat_insert_double_value(writer, x, xs[row]) : readstat_insert_missing_value(writer, x)) ==
             READSTAT_OK &&
         readstat_insert_string_value(writer, s, ss[row]) == READSTAT_OK && readstat_end_row(writer) == READSTAT_OK;
  }
  ok = ok && readstat_end_writing(writer) == READSTAT_OK;
  readstat_writer_free(writer);
  return std::fclose(file) == 0 && ok;
}

class ReadStatFormatTest : public ::testing::TestWithParam<std::pair<WrittenFormat, const char*>> {
 protected:
  spsstest::TemporaryFolder folder_;
  spsstest::PackageGuard guard_;
};

TEST_P(ReadStatFormatTest, OtherFormatsGiveTheirDictionaryAndCases) {
  const auto [format, fileName] = GetParam();
  const std::string path = folder_.file(fileName);
  ASSERT_TRUE(writeWithReadStat(path, format));
  auto package = StatisticsPackage::start(path);
  auto data = activeDocument(*package);
  ASSERT_TRUE(data);
  const Dictionary d = dictionaryOf(*data);
  EXPECT_EQ(d.names, (std::vector<std::string>{"x", "s"}));
  EXPECT_EQ(d.labels, (std::vector<std::string>{"Score", ""}));
  ASSERT_EQ(d.types.size(), 2u);
  EXPECT_EQ(d.types[0], 0);
  EXPECT_GE(d.types[1], 5) << "a string at least as wide as it was declared";
  using namespace korvana::spss;
  EXPECT_EQ(d.levels, (std::vector<std::int32_t>{measurementScale, measurementNominal}))
      << "the defaults where the file records no level";
  EXPECT_EQ(d.labelCounts, (std::vector<std::int32_t>{format == WrittenFormat::dta ? 2 : 0, 0}));
  EXPECT_EQ(textData(*data, "x", "s", 1, 3), (TextArray2D{{"1", "ab"}, {"0", "hello"}, {".", ""}}));
}

INSTANTIATE_TEST_SUITE_P(Formats, ReadStatFormatTest,
                         ::testing::Values(std::make_pair(WrittenFormat::dta, "small.DTA"),
                                           std::make_pair(WrittenFormat::xpt, "small.xpt"),
                                           std::make_pair(WrittenFormat::sas7bdat, "small.sas7bdat")));

TEST_F(DataDocumentTest, CsvColumnsAreNumericWhenEveryValueIsANumber) {
  const std::string path = folder_.file("people.csv");
  spsstest::writeText(path,
                      "\xEF\xBB\xBF" "id,name,score,note,empty\r\n"
                      "1,Ann,12.5,\"a, b\",\r\n"
                      "2,\"Bob \"\"B\"\"\",,x,\r\n"
                      "3,Cecilia, -2e1 ,\"two\nlines\",\r\n");
  auto package = StatisticsPackage::start(path);
  auto data = activeDocument(*package);
  ASSERT_TRUE(data);
  const Dictionary d = dictionaryOf(*data);
  EXPECT_EQ(d.names, (std::vector<std::string>{"id", "name", "score", "note", "empty"}));
  EXPECT_EQ(d.labels, std::vector<std::string>(5));
  EXPECT_EQ(d.types, (std::vector<std::int32_t>{0, 7, 0, 9, 0})) << "strings as wide as their longest value";
  using namespace korvana::spss;
  EXPECT_EQ(d.levels, (std::vector<std::int32_t>{measurementScale, measurementNominal, measurementScale,
                                                  measurementNominal, measurementScale}));
  EXPECT_EQ(d.labelCounts, std::vector<std::int32_t>(5));
  std::int32_t cases = 0;
  ASSERT_EQ(data->GetNumberOfCases(&cases), S_OK);
  EXPECT_EQ(cases, 3);
  EXPECT_EQ(textData(*data, "id", "empty", 1, 3),
            (TextArray2D{{"1", "Ann", "12.5", "a, b", "."},
                         {"2", "Bob \"B\"", ".", "x", "."},
                         {"3", "Cecilia", "-20", "two\nlines", "."}}));
  std::string weight = "stale";
  ASSERT_EQ(data->GetWeightingVariable(1, &weight), S_OK);
  EXPECT_EQ(weight, "") << "CSV records no weight";
}

TEST_F(DataDocumentTest, CsvThatCannotBeReadNamesTheProblem) {
  const auto message = [](const std::string& text) {
    try {
      korvana::spss::CsvDataSetReader::parse(text, "t.csv");
    } catch (const korvana::EKorvanaError& error) {
      return std::string(error.what());
    }
    return std::string("read without complaint");
  };
  EXPECT_EQ(message("a,b\n1,2\n3\n"), "The data file t.csv has 1 fields on line 3 where the header has 2");
  EXPECT_EQ(message("a,A\n1,2\n"), "The data file t.csv cannot be used: The variable name A is used twice");
  EXPECT_EQ(message("a,,b\n1,2,3\n"), "The data file t.csv has no name for column 2");
  EXPECT_EQ(message("a\n\"open\n1\n"), "The data file t.csv has a quoted field opened on line 2 that is never closed");
  EXPECT_EQ(message(""), "The data file t.csv has no header row");
  EXPECT_EQ(message("a\n1\n"), "read without complaint");
}

// A header is any text; a name is one word of command syntax. Headers that
// are not names are made names, unique, each keeping the header as its label,
// and the data set says so.
TEST_F(DataDocumentTest, CsvHeadersThatAreNotNamesAreMadeNamesKeepingTheHeaderAsLabel) {
  const std::string path = folder_.file("headers.csv");
  spsstest::writeText(path, "a b,a_b,total.,TO,\"c.\nPROXIMITIES x /MATRIX=OUT('t').\",\xE5\x90\x8D \xE5\x89\x8D\n"
                            "1,2,3,4,5,6\n");
  const korvana::spss::DataSet data = korvana::spss::DataSetLoader::load(path);
  std::vector<std::string> names, labels;
  for (std::size_t i = 0; i < data.variableCount(); ++i) {
    names.push_back(data.variable(i).name);
    labels.push_back(data.variable(i).label);
  }
  // The valid header a_b keeps its name; the name made of "a b" moves aside.
  EXPECT_EQ(names, (std::vector<std::string>{"a_b_2", "a_b", "total_", "TO_", "c._PROXIMITIES_x__MATRIX_OUT__t___",
                                             "\xE5\x90\x8D_\xE5\x89\x8D"}));
  EXPECT_EQ(labels, (std::vector<std::string>{"a b", "", "total.", "TO", "c.\nPROXIMITIES x /MATRIX=OUT('t').",
                                              "\xE5\x90\x8D \xE5\x89\x8D"}));
  ASSERT_EQ(data.readingNotes().size(), 1u);
  const std::string& note = data.readingNotes()[0];
  EXPECT_NE(note.find("'a b' is a_b_2; 'total.' is total_; 'TO' is TO_; 'c. PROXIMITIES"), std::string::npos) << note;
  EXPECT_EQ(note.find('\n'), std::string::npos) << "one line";
}

TEST_F(DataDocumentTest, TextDataRefusesRangesOutsideTheDataSet) {
  const std::string path = folder_.file("d.csv");
  spsstest::writeText(path, "a,b,c\n1,2,3\n4,5,6\n");
  auto package = StatisticsPackage::start(path);
  auto data = activeDocument(*package);
  ASSERT_TRUE(data);
  TextArray2D values{{"kept"}};
  EXPECT_EQ(data->GetTextData("a", "nosuch", 1, 2, &values), E_INVALIDARG);
  EXPECT_EQ(data->GetTextData("c", "a", 1, 2, &values), E_INVALIDARG) << "last variable before the first";
  EXPECT_EQ(data->GetTextData("a", "c", 0, 2, &values), DISP_E_BADINDEX);
  EXPECT_EQ(data->GetTextData("a", "c", 1, 3, &values), DISP_E_BADINDEX);
  EXPECT_EQ(data->GetTextData("a", "c", 2, 1, &values), DISP_E_BADINDEX);
  EXPECT_EQ(values, TextArray2D{{"kept"}});
  EXPECT_EQ(data->GetTextData("a", "c", 1, 2, nullptr), E_POINTER);
  EXPECT_EQ(textData(*data, "b", "c", 2, 2), (TextArray2D{{"5", "6"}}));
}

TEST_F(DataDocumentTest, SelectionSettingsShowTheLabelAfterATab) {
  SKIP_WITHOUT_PSPP();
  auto package = StatisticsPackage::start(psppSurvey("survey.sav"));
  auto data = activeDocument(*package);
  ASSERT_TRUE(data);
  std::string text;

  package->setFilterVariable("SCORE");
  ASSERT_EQ(data->GetFilterVariable(1, &text), S_OK);
  EXPECT_EQ(text, "score\tTest score");
  ASSERT_EQ(data->GetFilterVariable(0, &text), S_OK);
  EXPECT_EQ(text, "score");
  package->setFilterVariable("group");
  ASSERT_EQ(data->GetFilterVariable(1, &text), S_OK);
  EXPECT_EQ(text, "group") << "no tab for a variable without a label";
  EXPECT_THROW(package->setFilterVariable("name"), korvana::EKorvanaError) << "a string cannot filter";
  EXPECT_THROW(package->setFilterVariable("nosuch"), korvana::EKorvanaError);
  ASSERT_EQ(data->GetFilterVariable(1, &text), S_OK);
  EXPECT_EQ(text, "group") << "a refused setting changes nothing";
  package->setFilterVariable("");
  ASSERT_EQ(data->GetFilterVariable(1, &text), S_OK);
  EXPECT_EQ(text, "");

  package->setWeightVariable("");
  ASSERT_EQ(data->GetWeightingVariable(1, &text), S_OK);
  EXPECT_EQ(text, "");
  package->setWeightVariable("id");
  ASSERT_EQ(data->GetWeightingVariable(1, &text), S_OK);
  EXPECT_EQ(text, "id\tCase number");

  package->setSplitVariables({"Group", "name"});
  std::vector<std::string> split;
  std::int32_t count = 0;
  ASSERT_EQ(data->GetSplitVariables(&split, &count), S_OK);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(split, (std::vector<std::string>{"group", "name"}));
  EXPECT_THROW(package->setSplitVariables({"group", "nosuch"}), korvana::EKorvanaError);
  ASSERT_EQ(data->GetSplitVariables(&split, &count), S_OK);
  EXPECT_EQ(count, 2);
}

TEST(DataSetTest, NumbersReadAsTheirShortestExactText) {
  korvana::spss::DataSet data;
  data.addVariable({"v", "", 0, korvana::spss::measurementScale, 0});
  const double values[] = {2.0, 0.25, -0.0, 1e20, 0.1, 123456789.125};
  const char* expected[] = {"2", "0.25", "0", "1e+20", "0.1", "123456789.125"};
  for (double value : values) data.setNumeric(data.addCase(), 0, value);
  for (std::size_t i = 0; i < std::size(values); ++i) EXPECT_EQ(data.text(i, 0), expected[i]) << values[i];
  data.addVariable({"s", "", 3, korvana::spss::measurementNominal, 0});
  EXPECT_EQ(data.text(0, 1), "") << "a variable added later is blank in earlier cases";
  data.setString(0, 1, "ab ");
  EXPECT_EQ(data.text(0, 1), "ab") << "trailing blanks are not part of the text";
  EXPECT_THROW(data.addVariable({"V", "", 0, 0, 0}), korvana::EKorvanaError);
}

}  // namespace
