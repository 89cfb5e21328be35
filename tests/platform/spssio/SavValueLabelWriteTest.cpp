// Labels of string values written with sav_set_var_value_label_char: the
// status codes of the call, the labels read back through the library, and
// PSPP reading them from the file.
#include "SavTestSupport.h"

#include "platform/spssio/SavDataFileLibrary.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using savtest::TemporaryFolder;

// A file with ROWTYPE_ (A8), a long-named A20 variable, a numeric variable and
// an unlabelled A8 variable, one case, with the labels given by `label`.
template <typename Labels>
int writeLabelledFile(const std::string& path, Labels label) {
  int handle = -1;
  if (const int status = sav_open_write(path.c_str(), &handle); status != SAV_OK) return status;
  EXPECT_EQ(sav_set_var_name(handle, "ROWTYPE_", 8), SAV_OK);
  EXPECT_EQ(sav_set_var_name(handle, "ObjectLabelOfTheCase", 20), SAV_OK);
  EXPECT_EQ(sav_set_var_name(handle, "x", 0), SAV_OK);
  EXPECT_EQ(sav_set_var_name(handle, "plain", 8), SAV_OK);
  label(handle);
  EXPECT_EQ(sav_commit_header(handle), SAV_OK);
  double rowType = 0, object = 0, x = 0;
  EXPECT_EQ(sav_get_var_handle(handle, "ROWTYPE_", &rowType), SAV_OK);
  EXPECT_EQ(sav_get_var_handle(handle, "ObjectLabelOfTheCase", &object), SAV_OK);
  EXPECT_EQ(sav_get_var_handle(handle, "x", &x), SAV_OK);
  EXPECT_EQ(sav_set_value_char(handle, rowType, "PROX"), SAV_OK);
  EXPECT_EQ(sav_set_value_char(handle, object, "alpha"), SAV_OK);
  EXPECT_EQ(sav_set_value_numeric(handle, x, 1.5), SAV_OK);
  EXPECT_EQ(sav_commit_case_record(handle), SAV_OK);
  return sav_close_write(handle);
}

void typicalLabels(int handle) {
  EXPECT_EQ(sav_set_var_value_label_char(handle, "rowtype_", "PROX", "first label"), SAV_OK);
  EXPECT_EQ(sav_set_var_value_label_char(handle, "ROWTYPE_", "CORR    ", "Correlations"), SAV_OK);
  // Labelling a value again replaces its label (blank padding is no difference).
  EXPECT_EQ(sav_set_var_value_label_char(handle, "ROWTYPE_", "PROX  ",
                                         "Proximities: SEUCLID, DISSIMILARITY"),
            SAV_OK);
  EXPECT_EQ(sav_set_var_value_label_char(handle, "ObjectLabelOfTheCase", "alpha", "The first one"),
            SAV_OK);
  EXPECT_EQ(sav_set_var_value_label_char(handle, "ObjectLabelOfTheCase", "twenty characters...",
                                         "Full width"),
            SAV_OK);
}

TEST(SavValueLabelWrite, StatusCodes) {
  TemporaryFolder folder;
  int handle = -1;
  ASSERT_EQ(sav_open_write(folder.file("codes.sav").c_str(), &handle), SAV_OK);
  ASSERT_EQ(sav_set_var_name(handle, "S", 4), SAV_OK);
  ASSERT_EQ(sav_set_var_name(handle, "N", 0), SAV_OK);
  EXPECT_EQ(sav_set_var_value_label_char(handle, "T", "a", "x"), SAV_VARIABLE_NOT_FOUND);
  EXPECT_EQ(sav_set_var_value_label_char(handle, nullptr, "a", "x"), SAV_INVALID_VARIABLE_NAME);
  EXPECT_EQ(sav_set_var_value_label_char(handle, "N", "1", "one"), SAV_VARIABLE_NOT_STRING);
  EXPECT_EQ(sav_set_var_value_label_char(handle, "S", "abcde", "x"), SAV_VALUE_TOO_LONG);
  EXPECT_EQ(sav_set_var_value_label_char(handle, "S", "\xE9", "x"), SAV_INVALID_TEXT);
  EXPECT_EQ(sav_set_var_value_label_char(handle, "S", "a", "caf\xE9"), SAV_INVALID_TEXT);
  EXPECT_EQ(sav_set_var_value_label_char(handle, "S", "abcd   ", "x"), SAV_OK)
      << "blanks beyond the width are padding";
  EXPECT_EQ(sav_set_var_value_label_char(handle, "S", nullptr, nullptr), SAV_OK)
      << "the empty value, labelled with the empty label";
  const std::string tooLong = std::string(SAV_MAX_VALUE_LABEL_LENGTH - 1, 'x') + "\xC3\xA9";
  EXPECT_EQ(sav_set_var_value_label_char(handle, "S", "u", tooLong.c_str()), SAV_VALUE_LABEL_SHORTENED);
  EXPECT_EQ(sav_set_var_value_label_char(handle, "S", "v", std::string(120, 'y').c_str()), SAV_OK);
  ASSERT_EQ(sav_commit_header(handle), SAV_OK);
  EXPECT_EQ(sav_set_var_value_label_char(handle, "S", "a", "x"), SAV_DICTIONARY_COMMITTED);
  EXPECT_EQ(sav_close_write(handle), SAV_OK);
  EXPECT_EQ(sav_set_var_value_label_char(handle, "S", "a", "x"), SAV_INVALID_HANDLE);

  ASSERT_EQ(sav_open_read(folder.file("codes.sav").c_str(), &handle), SAV_OK);
  EXPECT_EQ(sav_set_var_value_label_char(handle, "S", "a", "x"), SAV_OPEN_FOR_READING);
  char label[SAV_VALUE_LABEL_BUFFER];
  EXPECT_EQ(sav_get_string_value_label(handle, "S", "abcd", label), SAV_OK);
  EXPECT_STREQ(label, "x");
  EXPECT_EQ(sav_close_read(handle), SAV_OK);
}

TEST(SavValueLabelWrite, ReadBackThroughTheLibrary) {
  TemporaryFolder folder;
  for (int compression : {0, 1}) {
    SCOPED_TRACE("compression " + std::to_string(compression));
    const std::string path = folder.file("labels" + std::to_string(compression) + ".sav");
    ASSERT_EQ(writeLabelledFile(path,
                                [&](int handle) {
                                  ASSERT_EQ(sav_set_compression(handle, compression), SAV_OK);
                                  typicalLabels(handle);
                                }),
              SAV_OK);
    int handle = -1;
    ASSERT_EQ(sav_open_read(path.c_str(), &handle), SAV_OK);
    char label[SAV_VALUE_LABEL_BUFFER];
    EXPECT_EQ(sav_get_string_value_label(handle, "ROWTYPE_", "PROX", label), SAV_OK);
    EXPECT_STREQ(label, "Proximities: SEUCLID, DISSIMILARITY");
    EXPECT_EQ(sav_get_string_value_label(handle, "ROWTYPE_", "CORR", label), SAV_OK);
    EXPECT_STREQ(label, "Correlations");
    EXPECT_EQ(sav_get_string_value_label(handle, "ROWTYPE_", "prox", label), SAV_NO_LABEL_FOR_VALUE);
    EXPECT_EQ(sav_get_string_value_label(handle, "ObjectLabelOfTheCase", "alpha", label), SAV_OK);
    EXPECT_STREQ(label, "The first one");
    EXPECT_EQ(sav_get_string_value_label(handle, "ObjectLabelOfTheCase", "twenty characters...", label),
              SAV_OK);
    EXPECT_STREQ(label, "Full width");
    EXPECT_EQ(sav_get_string_value_label(handle, "plain", "PROX", label), SAV_NO_VALUE_LABELS);
    // The values themselves are untouched by the labels.
    ASSERT_EQ(sav_read_case_record(handle), SAV_OK);
    double rowType = 0;
    ASSERT_EQ(sav_get_var_handle(handle, "ROWTYPE_", &rowType), SAV_OK);
    char value[16];
    ASSERT_EQ(sav_get_value_char(handle, rowType, value, sizeof value), SAV_OK);
    EXPECT_STREQ(value, "PROX    ");
    EXPECT_EQ(sav_close_read(handle), SAV_OK);
  }
}

TEST(SavValueLabelWrite, PsppReadsTheLabels) {
  if (!savtest::psppAvailable()) GTEST_SKIP() << "PSPP is not installed at " KORVANA_PSPP_PROGRAM;
  TemporaryFolder folder;
  ASSERT_EQ(writeLabelledFile(folder.file("labels.sav"), typicalLabels), SAV_OK);
  const savtest::PsppRun run =
      savtest::runPspp(folder.path(), "GET FILE='labels.sav'.\nDISPLAY DICTIONARY.\nLIST.\n");
  ASSERT_EQ(run.exitCode, 0) << run.log;
  EXPECT_EQ(run.log.find("warning"), std::string::npos) << run.log;
  const auto table = savtest::csvTable(run.csv, "Value Labels");
  const std::vector<std::vector<std::string>> expected = {
      {"Variable Value", "", "Label"},
      {"ROWTYPE_", "CORR", "Correlations"},  // PSPP lists them by value
      {"", "PROX", "Proximities: SEUCLID, DISSIMILARITY"},
      {"ObjectLabelOfTheCase", "alpha", "The first one"},
      {"", "twenty characters...", "Full width"},
  };
  EXPECT_EQ(table, expected) << run.csv;
  const auto list = savtest::csvTable(run.csv, "Data List");
  ASSERT_EQ(list.size(), 2u) << run.csv;
  EXPECT_EQ(list[1][0], "PROX");
  EXPECT_EQ(list[1][1], "alpha");
}

}  // namespace
