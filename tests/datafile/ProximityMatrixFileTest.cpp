// Reading proximity matrices from data files made by PSPP in the layout of the
// statistics package's matrix output, and refusing files of other layouts.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "datafile/ProximityMatrixFile.h"
#include "DataFileTestSupport.h"
#include "engine/ProximityMatrix.h"
#include "platform/host/MessageBoxes.h"

namespace korvana {
namespace {

using host::RecordingMessageBoxes;

class ProximityMatrixFile : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::psppAvailable()) GTEST_SKIP() << "PSPP (/usr/bin/pspp) is not installed";
  }

  /// A data file made by PSPP from a DATA LIST and free-form data lines;
  /// `extra` is syntax run before saving (value labels, for example).
  std::string makeFile(const std::string& name, const std::string& variables, const std::string& data,
                       const std::string& extra = "", const std::string& saveOptions = "") {
    test::runPspp(folder_, "DATA LIST LIST /" + variables + ".\nBEGIN DATA\n" + data + "END DATA.\n" + extra +
                               "SAVE OUTFILE='" + name + "'" + saveOptions + ".\n");
    return folder_.path(name).string();
  }

  /// Loads `file`; returns the error box text ("" when none was shown).
  std::string load(ProximityMatrix& matrix, const std::string& file, bool expected, const std::string& hint = {},
                   MatrixFileReport* report = nullptr) {
    RecordingMessageBoxes boxes;
    host::ScopedMessageBoxService scope(boxes);
    EXPECT_EQ(loadProximityMatrix(file, matrix, hint, report), expected);
    if (boxes.shown().empty()) return "";
    EXPECT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].caption, "Korvana");
    EXPECT_EQ(boxes.shown()[0].icon, host::MessageIcon::error);
    return boxes.shown()[0].text;
  }

  test::TemporaryFolder folder_;
};

constexpr const char* kCasesLayout = "ROWTYPE_ (A8) id (A6) CASENO_ (F8.0) VARNAME_ (A8) V1 V2 V3 V4";
constexpr const char* kCasesData =
    "PROX alpha 1 V1 0 1 2 4\n"
    "PROX beta 2 V2 1 0 3 5\n"
    "PROX gamma 3 V3 2 3 0 6\n"
    "PROX delta 4 V4 4 5 6 0\n";

TEST_F(ProximityMatrixFile, ReadsCasesWithLabelsCaseNumbersAndKind) {
  const auto file = makeFile("cases.sav", kCasesLayout, kCasesData,
                             "VALUE LABELS ROWTYPE_ 'PROX' 'Dissimilarity: SEUCLID'.\n");
  ProximityMatrix matrix;
  EXPECT_EQ(load(matrix, file, true), "");
  ASSERT_EQ(matrix.getNumberOfObjects(), 4);
  EXPECT_TRUE(matrix.isDissimilarity());
  EXPECT_TRUE(matrix.isSquaredEuclidean());
  EXPECT_TRUE(matrix.hasLabelVariable());
  EXPECT_TRUE(matrix.hasCaseNumbers());
  EXPECT_TRUE(matrix.hasObjectLabels());
  EXPECT_EQ(matrix.getProximity(1, 0), 1);
  EXPECT_EQ(matrix.getProximity(3, 2), 6);
  EXPECT_EQ(matrix.getProximity(0, 3), 4);
  EXPECT_EQ(matrix.getSumOfSquares(), 1 + 4 + 9 + 16 + 25 + 36);
  // Text values come as the file stores them: padded to the variable's width.
  EXPECT_EQ(matrix.getObjectLabel(0), "alpha ");
  EXPECT_EQ(matrix.getRow(2).getName(), "V3      ");
  EXPECT_EQ(matrix.getRow(2).getRowType(), "PROX    ");
  EXPECT_EQ(matrix.getRow(3).getCaseNumber(), 4);
}

TEST_F(ProximityMatrixFile, TheProxLabelSetsTheDirection) {
  struct Case {
    const char* label;
    bool dissimilarity, squaredEuclidean;
  };
  const Case cases[] = {{"Pearson correlation similarity", false, false},
                        {"EUCLID dissimilarity", true, false},
                        {"measure seuclid similarity", false, true}};
  int k = 0;
  for (const Case& c : cases) {
    const auto file = makeFile("kind" + std::to_string(k++) + ".sav", kCasesLayout, kCasesData,
                               std::string("VALUE LABELS ROWTYPE_ 'PROX' '") + c.label + "'.\n");
    ProximityMatrix matrix;
    load(matrix, file, true);
    EXPECT_EQ(matrix.isDissimilarity(), c.dissimilarity) << c.label;
    EXPECT_EQ(matrix.isSquaredEuclidean(), c.squaredEuclidean) << c.label;
  }
  // A label that names neither direction is refused.
  ProximityMatrix neither;
  EXPECT_EQ(load(neither, makeFile("banana.sav", kCasesLayout, kCasesData, "VALUE LABELS ROWTYPE_ 'PROX' 'Banana'.\n"),
                 false),
            "The label of PROX, 'Banana', says neither similarity nor dissimilarity.");
  // Without a label: dissimilarities and squared Euclidean distances.
  ProximityMatrix unlabeled;
  load(unlabeled, makeFile("unlabeled.sav", kCasesLayout, kCasesData), true);
  EXPECT_TRUE(unlabeled.isDissimilarity());
  EXPECT_TRUE(unlabeled.isSquaredEuclidean());
}

TEST_F(ProximityMatrixFile, VariablesAreNamedByVarnameWithAnyCaseOfTheSpecialNames) {
  const auto file = makeFile("variables.sav", "RowType_ (A8) varname_ (A8) a b c",
                             "PROX a 0 9 9\nPROX b 2 0 9\nPROX c 3 4 0\n");
  ProximityMatrix matrix;
  load(matrix, file, true);
  ASSERT_EQ(matrix.getNumberOfObjects(), 3);
  EXPECT_FALSE(matrix.hasCaseNumbers());
  EXPECT_FALSE(matrix.hasLabelVariable());
  EXPECT_TRUE(matrix.hasObjectLabels());
  EXPECT_EQ(matrix.getObjectLabel(1), "b       ");
  // Only the lower triangle is read; the 9s above the diagonal are ignored.
  EXPECT_EQ(matrix.getProximity(0, 1), 2);
  EXPECT_EQ(matrix.getProximity(2, 1), 4);
}

TEST_F(ProximityMatrixFile, CaseNumbersWithoutLabelsAndTruncatedCaseNumbers) {
  const auto file = makeFile("casenumbers.sav", "ROWTYPE_ (A8) CASENO_ (F8.1) VARNAME_ (A8) c1 c2 c3",
                             "PROX 7.9 c1 0 0 0\nPROX -2.5 c2 1 0 0\nPROX 3 c3 2 3 0\n");
  ProximityMatrix matrix;
  load(matrix, file, true);
  EXPECT_TRUE(matrix.hasCaseNumbers());
  EXPECT_FALSE(matrix.hasObjectLabels());
  EXPECT_EQ(matrix.getObjectLabel(0), "");
  EXPECT_EQ(matrix.getRow(0).getCaseNumber(), 7);
  EXPECT_EQ(matrix.getRow(1).getCaseNumber(), -2);
}

TEST_F(ProximityMatrixFile, ANameWithAnInnerUnderscoreIsALabelVariable) {
  const auto file = makeFile("innerunderscore.sav", "ROWTYPE_ (A8) a_b_ (A4) VARNAME_ (A8) x y",
                             "PROX one x 0 0\nPROX two y 5 0\n");
  ProximityMatrix matrix;
  load(matrix, file, true);
  EXPECT_TRUE(matrix.hasLabelVariable());
  EXPECT_EQ(matrix.getRow(1).getLabel(), "two ");
}

TEST_F(ProximityMatrixFile, RefusesOtherLayouts) {
  struct Case {
    const char* name;
    const char* layout;
    const char* data;
    const char* message;
  };
  const Case cases[] = {
      {"split.sav", "grp (F1) ROWTYPE_ (A8) VARNAME_ (A8) x y", "1 PROX x 0 0\n1 PROX y 1 0\n",
       "Split File is not supported."},
      {"norowtype.sav", "kind (A8) VARNAME_ (A8) x y", "PROX x 0 0\nPROX y 1 0\n", "Proximity matrix is invalid."},
      {"novarname.sav", "ROWTYPE_ (A8) x y", "PROX 0 0\nPROX 1 0\n", "Proximity matrix is invalid."},
      {"notsquare.sav", "ROWTYPE_ (A8) VARNAME_ (A8) x y z", "PROX x 0 0 0\nPROX y 1 0 0\n",
       "Proximity matrix is invalid: 'notsquare.sav' holds 2 cases for 3 objects."},
      // id_ ends in its first underscore but is not a special name: not counted.
      {"uncounted.sav", "ROWTYPE_ (A8) id_ (A4) VARNAME_ (A8) x y", "PROX a x 0 0\nPROX b y 1 0\n",
       "Proximity matrix is invalid: 'uncounted.sav' holds 2 cases for 3 objects."},
  };
  for (const Case& c : cases) {
    ProximityMatrix matrix;
    std::string message = load(matrix, makeFile(c.name, c.layout, c.data), false);
    const std::string folder = folder_.path("").string();
    if (message.find(folder) != std::string::npos) message.erase(message.find(folder), folder.size());
    EXPECT_EQ(message, c.message) << c.name;
  }
}

// What cannot be clustered is refused: rows of another kind (a correlation
// matrix, means), a missing proximity (with the caller's hint why), a single
// object. A matrix whose upper triangle is not the mirror of the lower one is
// read and reported; one without an upper triangle is not.
TEST_F(ProximityMatrixFile, RefusesWhatCannotBeClusteredAndReportsAnAsymmetricMatrix) {
  const struct {
    const char* name;
    const char* layout;
    const char* data;
    std::string message;
  } refused[] = {
      {"corr.sav", "ROWTYPE_ (A8) VARNAME_ (A8) x y", "CORR x 1 .5\nCORR y .5 1\n",
       "' is not a proximity matrix: row 1 has the row type (ROWTYPE_) 'CORR', where every row must be PROX."},
      {"mean.sav", "ROWTYPE_ (A8) VARNAME_ (A8) x y", "PROX x 0 1\nMEAN y 1 0\n",
       "row 2 has the row type (ROWTYPE_) 'MEAN'"},
      {"missing.sav", "ROWTYPE_ (A8) VARNAME_ (A8) x y z", "PROX x 0 1 2\nPROX y 1 0 3\nPROX z 2 . 0\n",
       "The proximity of objects 2 and 3 in '"},
      {"one.sav", "ROWTYPE_ (A8) VARNAME_ (A8) x", "PROX x 0\n", "' holds one object; clustering needs at least two."},
  };
  for (const auto& c : refused) {
    ProximityMatrix matrix;
    const std::string message = load(matrix, makeFile(c.name, c.layout, c.data), false, "; the hint");
    EXPECT_NE(message.find(c.message), std::string::npos) << message;
    EXPECT_EQ(message.find("; the hint") != std::string::npos, std::string(c.name) == "missing.sav") << message;
  }
  const struct {
    const char* name;
    const char* data;
    std::optional<int> asymmetric;
    double lowerValue;  // of z and y: the lower triangle's
  } read[] = {
      {"symmetric.sav", "PROX x 0 1 2\nPROX y 1 0 3\nPROX z 2 3 0\n", std::nullopt, 3},
      {"asymmetric.sav", "PROX x 0 1 2\nPROX y 1 0 3\nPROX z 2 4 0\n", 2, 4},
      {"lower.sav", "PROX x 0 . .\nPROX y 1 0 .\nPROX z 2 4 0\n", std::nullopt, 4},
  };
  for (const auto& c : read) {
    ProximityMatrix matrix;
    MatrixFileReport report;
    load(matrix, makeFile(c.name, "ROWTYPE_ (A8) VARNAME_ (A8) x y z", c.data), true, "", &report);
    EXPECT_EQ(report.asymmetricObject, c.asymmetric) << c.name;
    EXPECT_EQ(matrix.getProximity(2, 1), c.lowerValue) << c.name;
  }
}

TEST_F(ProximityMatrixFile, RefusesFilesThatAreNotDataFiles) {
  ProximityMatrix missing;
  EXPECT_EQ(load(missing, folder_.path("nothing-here.sav").string(), false), "Error opening file.");
  test::writeFile(folder_.path("text.sav"), "ROWTYPE_,VARNAME_,x\nPROX,x,0\n");
  ProximityMatrix text;
  EXPECT_EQ(load(text, folder_.path("text.sav").string(), false), "File is not a valid SPSS data file.");
  test::writeFile(folder_.path("empty.sav"), "");
  ProximityMatrix empty;
  EXPECT_EQ(load(empty, folder_.path("empty.sav").string(), false), "File is not a valid SPSS data file.");
}

TEST_F(ProximityMatrixFile, AFileThatEndsEarlyIsRefusedWhereverItIsCut) {
  const auto file = makeFile("whole.sav", kCasesLayout, kCasesData, "", " /UNCOMPRESSED");
  const std::string bytes = test::readFile(file);
  // Each case holds eight 8-byte slots (A8, A6, F8.0, A8 and four numbers).
  const std::size_t caseSize = 8 * 8;
  const std::size_t dataStart = bytes.size() - 4 * caseSize;
  for (const std::size_t cases : {0u, 3u}) {
    const std::string name = "cases" + std::to_string(cases) + ".sav";
    test::writeFile(folder_.path(name), bytes.substr(0, dataStart + cases * caseSize));
    ProximityMatrix early;
    EXPECT_EQ(load(early, folder_.path(name).string(), false),
              "The proximity matrix file '" + folder_.path(name).string() + "' ends after " +
                  std::to_string(cases) + " of its 4 cases.");
  }

  test::writeFile(folder_.path("cut.sav"), bytes.substr(0, dataStart + 2 * caseSize + 20));
  ProximityMatrix cut;
  EXPECT_EQ(load(cut, folder_.path("cut.sav").string(), false), "Error reading file.");
}

}  // namespace
}  // namespace korvana
