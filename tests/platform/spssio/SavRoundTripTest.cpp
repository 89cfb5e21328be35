// Files written with the library and read back: through the library, through
// ReadStat directly (names, labels, values) and byte by byte (formats, short
// names, the long-name record, compression), for a table of dictionaries.
#include "SavTestSupport.h"

#include "platform/spssio/SavDataFileLibrary.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define KORVANA_SAV_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORVANA_SAV_ASAN 1
#endif
#endif
#ifndef KORVANA_SAV_ASAN
#include <malloc.h>
#endif

namespace {

using savtest::Cell;
using savtest::FilePlan;
using savtest::Format;
using savtest::VariableSpec;

const double kSysmis = -DBL_MAX;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

struct RoundTripCase {
  std::string name;
  FilePlan plan;
  std::vector<int> expectedWarnings;
  std::string expectedFileLabel;             // as stored
  std::vector<std::string> expectedLabels;   // per variable, as stored
};

std::string padded(const std::string& text, int width) {
  return text + std::string(static_cast<std::size_t>(width) - text.size(), ' ');
}

// The fit table of the clustering program: the formats it uses.
FilePlan fitTable(int compression) {
  FilePlan plan;
  plan.fileLabel = "Korvana fit table";
  plan.compression = compression;
  plan.variables = {
      {"CaseNo", 0, "Case number", Format{5, 8, 0}, Format{5, 8, 0}},
      {"ObjectName", 32, "Object name", Format{1, 32, 0}, Format{1, 32, 0}},
      {"Coefficient", 0, "Agglomeration coefficient", Format{17, 8, 0}, Format{17, 8, 0}},
      {"Fit", 0, "", Format{5, 8, 6}, Format{5, 8, 6}},
      {"SumOfSquaredDifferences", 0, "SSDif", Format{5, 12, 4}, Format{5, 14, 6}},
      {"Seed", 0, "", std::nullopt, std::nullopt},
  };
  plan.cases = {
      {1.0, std::string("alpha"), 250000.0, 0.123456, 12.5, 4294967295.0},
      {2.0, std::string(""), kSysmis, 1.0, -0.0, 0.0},
      {3.0, std::string("  leading blanks"), kNaN, -0.5, 1e-300, -99.0},
      {4.0, std::string(32, 'w'), -3e-5, kSysmis, 151.0, 152.0},
      {5.0, std::string("caf\xC3\xA9"), 0.002, 0.000001, -100.0, 251.0},
  };
  return plan;
}

std::vector<std::string> labelsOf(const FilePlan& plan) {
  std::vector<std::string> labels;
  for (const auto& v : plan.variables) labels.push_back(v.label);
  return labels;
}

std::vector<RoundTripCase> roundTripCases() {
  std::vector<RoundTripCase> cases;
  for (int compression : {0, 1}) {
    FilePlan plan = fitTable(compression);
    cases.push_back({compression ? "FitTableCompressed" : "FitTableUncompressed", plan, {},
                     plan.fileLabel, labelsOf(plan)});
  }
  {
    // Labels over the limits: cut to the limit, never inside a UTF-8 character.
    FilePlan plan;
    plan.fileLabel = std::string(63, 'f') + "\xE2\x82\xAC" + "tail";  // 63 + euro sign
    plan.variables = {
        {"Long", 0, std::string(300, 'x')},
        {"Accent", 0, std::string(255, 'y') + "\xC3\xA9" + "z"},
        {"Exact", 0, std::string(254, 'e') + "\xC3\xA9"},  // 256 bytes: fits
        {"Short", 4, "short label"},
    };
    plan.cases = {{1.0, 2.0, 3.0, std::string("ab")}};
    for (int compression : {0, 1}) {
      plan.compression = compression;
      cases.push_back({compression ? "LabelsShortenedCompressed" : "LabelsShortenedUncompressed",
                       plan,
                       {SAV_FILE_LABEL_SHORTENED, SAV_VAR_LABEL_SHORTENED, SAV_VAR_LABEL_SHORTENED},
                       std::string(63, 'f'),
                       {std::string(256, 'x'), std::string(255, 'y'),
                        std::string(254, 'e') + "\xC3\xA9", "short label"}});
    }
  }
  {
    // Names whose first 8 bytes collide, or collide with another variable's
    // own short name.
    FilePlan plan;
    plan.compression = 1;
    for (const char* name : {"LONGNAME_1", "V3_A", "LONGNAME_2", "abcdefgh", "ABCDEFGHI",
                             "ABCDEFGHIJ", "ABCDEFG.X", "LONGNAME", "longname_3", "@At", "a.b_1$#@",
                             "X234567890123456789012345678901234567890123456789012345678901234"}) {
      plan.variables.push_back({name, 0, std::string("label of ") + name});
    }
    std::vector<Cell> row;
    for (std::size_t i = 0; i < plan.variables.size(); ++i) row.emplace_back(static_cast<double>(i) + 0.25);
    plan.cases = {row};
    cases.push_back({"ShortNameCollisions", plan, {}, "", labelsOf(plan)});
  }
  for (int compression : {0, 1}) {
    // Numbers at the edges, and the range where compression stores small
    // integers in one byte.
    FilePlan plan;
    plan.compression = compression;
    plan.variables = {{"V", 0, ""}};
    for (double v : {DBL_MAX, std::nextafter(-DBL_MAX, 0.0), kSysmis, kNaN, kInf, -kInf,
                     DBL_MIN / 4, 1e300, -99.0, -99.5, -100.0, 151.0, 151.5, 152.0, 0.0, 1.0,
                     2147483648.0, -2147483649.0}) {
      plan.cases.push_back({v});
    }
    cases.push_back({compression ? "ExtremeNumbersCompressed" : "ExtremeNumbersUncompressed",
                     plan, {}, "", labelsOf(plan)});
  }
  for (int compression : {0, 1}) {
    FilePlan plan;
    plan.compression = compression;
    plan.variables = {{"W1", 1, ""}, {"W8", 8, ""}, {"W9", 9, ""}, {"W255", 255, ""}, {"N", 0, ""}};
    plan.cases = {
        {std::string("a"), std::string("12345678"), std::string("123456789"),
         std::string(255, 'z'), 1.0},
        {std::string(""), std::string(""), std::string(" "), std::string(""), 2.0},
        {std::string("Z"), std::string("\xE2\x82\xAC" "abcde"), std::string("x  y"),
         std::string(200, ' ') + "end", 3.0},
        // Blanks beyond the width are padding and are accepted.
        {std::string("b     "), std::string("abcdefgh   "), std::string("q"),
         std::string("r"), 4.0},
    };
    cases.push_back({compression ? "StringWidthsCompressed" : "StringWidthsUncompressed", plan,
                     {}, "", labelsOf(plan)});
  }
  {
    FilePlan plan;
    plan.fileLabel = "no cases";
    plan.variables = {{"A", 0, "numeric"}, {"B", 10, "string"}};
    cases.push_back({"NoCases", plan, {}, plan.fileLabel, labelsOf(plan)});
  }
  return cases;
}

// What reading gives for a written cell: NaN is stored as system-missing, a
// string is padded to its width, blanks beyond the width dropped.
Cell expectedCell(const Cell& written, int width) {
  if (const double* number = std::get_if<double>(&written)) {
    return std::isnan(*number) ? Cell(kSysmis) : Cell(*number);
  }
  std::string text = std::get<std::string>(written);
  while (text.size() > static_cast<std::size_t>(width) && text.back() == ' ') text.pop_back();
  return padded(text, width);
}

std::string trimmedRight(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// Test names already say which case failed.
void PrintTo(const RoundTripCase& c, std::ostream* out) { *out << c.name; }

class SavLibraryRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(SavLibraryRoundTrip, WritesAndReadsBackTheSameFile) {
  const RoundTripCase& param = GetParam();
  const FilePlan& plan = param.plan;
  savtest::TemporaryFolder folder;
  const std::string path = folder.file("roundtrip.sav");

  const savtest::WriteOutcome written = savtest::writeFile(path, plan);
  ASSERT_EQ(written.failedCall, "") << "status " << written.status;
  EXPECT_EQ(written.warnings, param.expectedWarnings);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"roundtrip.sav"});

  // The dictionary as it lies in the file.
  const savtest::RawDictionary raw = savtest::decodeDictionary(savtest::readBytes(path));
  EXPECT_EQ(raw.magic, "$FL2");
  EXPECT_EQ(raw.compression, plan.compression);
  EXPECT_EQ(raw.caseCount, static_cast<int>(plan.cases.size()));
  EXPECT_EQ(raw.fileLabel, param.expectedFileLabel);
  EXPECT_NE(raw.dataOffset, 0u) << "no termination record";
  ASSERT_EQ(raw.variables.size(), plan.variables.size());
  std::set<std::string> shortNames;
  for (std::size_t i = 0; i < plan.variables.size(); ++i) {
    const VariableSpec& v = plan.variables[i];
    const savtest::RawVariable& r = raw.variables[i];
    SCOPED_TRACE(v.name);
    EXPECT_EQ(r.type, v.length);
    const Format defaultFormat = v.length == 0 ? Format{5, 8, 2} : Format{1, v.length, 0};
    const Format print = v.print.value_or(defaultFormat);
    const Format write = v.write.value_or(defaultFormat);
    EXPECT_EQ(r.print, savtest::formatCode(print.type, print.width, print.decimals));
    EXPECT_EQ(r.write, savtest::formatCode(write.type, write.width, write.decimals));
    EXPECT_EQ(r.label, param.expectedLabels[i]);
    EXPECT_GE(r.shortName.size(), 1u);
    EXPECT_LE(r.shortName.size(), 8u);
    std::string upper = r.shortName;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(upper, r.shortName) << "short names are upper case";
    EXPECT_TRUE(shortNames.insert(upper).second) << "short name used twice: " << r.shortName;
    EXPECT_EQ(raw.longNames.count(r.shortName), 1u);
    EXPECT_EQ(raw.longNames.at(r.shortName), v.name);
  }

  // ReadStat on its own.
  const savtest::ReadStatFile direct = savtest::readWithReadStat(path);
  EXPECT_EQ(direct.error, 0);
  EXPECT_EQ(trimmedRight(direct.fileLabel), param.expectedFileLabel);
  ASSERT_EQ(direct.variables.size(), plan.variables.size());
  for (std::size_t i = 0; i < plan.variables.size(); ++i) {
    EXPECT_EQ(direct.variables[i].name, plan.variables[i].name);
    EXPECT_EQ(direct.variables[i].label, param.expectedLabels[i]);
    EXPECT_EQ(direct.variables[i].isString, plan.variables[i].length > 0);
  }
  ASSERT_EQ(direct.rows.size(), plan.cases.size());
  for (std::size_t c = 0; c < plan.cases.size(); ++c) {
    for (std::size_t i = 0; i < plan.variables.size(); ++i) {
      const Cell expected = expectedCell(plan.cases[c][i], plan.variables[i].length);
      if (const double* number = std::get_if<double>(&expected)) {
        EXPECT_EQ(std::get<double>(direct.rows[c][i]), *number) << "case " << c << " var " << i;
      } else {
        EXPECT_EQ(std::get<std::string>(direct.rows[c][i]), trimmedRight(std::get<std::string>(expected)))
            << "case " << c << " var " << i;
      }
    }
  }

  // The library.
  const savtest::ReadOutcome read = savtest::readFile(path);
  ASSERT_EQ(read.failedCall, "") << "status " << read.status;
  EXPECT_EQ(read.file.caseCount, static_cast<int>(plan.cases.size()));
  EXPECT_EQ(read.file.endStatus, SAV_END_OF_CASES);
  ASSERT_EQ(read.file.variables.size(), plan.variables.size());
  for (std::size_t i = 0; i < plan.variables.size(); ++i) {
    EXPECT_EQ(read.file.variables[i].name, plan.variables[i].name);
    EXPECT_EQ(read.file.variables[i].type, plan.variables[i].length);
  }
  ASSERT_EQ(read.file.cases.size(), plan.cases.size());
  for (std::size_t c = 0; c < plan.cases.size(); ++c) {
    for (std::size_t i = 0; i < plan.variables.size(); ++i) {
      const Cell expected = expectedCell(plan.cases[c][i], plan.variables[i].length);
      EXPECT_EQ(read.file.cases[c][i], expected) << "case " << c << " var " << i;
      // Without compression the bits are kept, the sign of zero included.
      if (plan.compression == 0 && std::holds_alternative<double>(expected)) {
        EXPECT_EQ(std::signbit(std::get<double>(read.file.cases[c][i])),
                  std::signbit(std::get<double>(expected)));
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Dictionaries, SavLibraryRoundTrip, ::testing::ValuesIn(roundTripCases()),
                         [](const ::testing::TestParamInfo<RoundTripCase>& p) {
                           return p.param.name;
                         });

// 2000 numeric variables by 2000 cases: every value comes back, and neither
// the writer nor the reader holds the cases (checked where the allocator can
// be asked: not under AddressSanitizer).
TEST(SavLibraryLargeFile, TwoThousandVariablesByTwoThousandCases) {
  constexpr int kVariables = 2000;
  constexpr int kCases = 2000;
  savtest::TemporaryFolder folder;
  const std::string path = folder.file("large.sav");
  const auto value = [](int c, int v) { return c * 4096.0 + v + 0.125; };
#ifndef KORVANA_SAV_ASAN
  const auto allocated = [] {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
  };
  const std::size_t values = std::size_t{kVariables} * kCases * sizeof(double);
  const std::size_t beforeWriting = allocated();
#endif

  int handle = -1;
  ASSERT_EQ(sav_open_write(path.c_str(), &handle), SAV_OK);
  ASSERT_EQ(sav_set_compression(handle, 1), SAV_OK);
  for (int v = 0; v < kVariables; ++v) {
    ASSERT_EQ(sav_set_var_name(handle, ("Variable" + std::to_string(v)).c_str(), 0), SAV_OK);
  }
  ASSERT_EQ(sav_commit_header(handle), SAV_OK);
  std::vector<double> handles(kVariables);
  for (int v = 0; v < kVariables; ++v) {
    ASSERT_EQ(sav_get_var_handle(handle, ("VARIABLE" + std::to_string(v)).c_str(), &handles[static_cast<std::size_t>(v)]), SAV_OK);
  }
  for (int c = 0; c < kCases; ++c) {
    for (int v = 0; v < kVariables; ++v) {
      ASSERT_EQ(sav_set_value_numeric(handle, handles[static_cast<std::size_t>(v)], value(c, v)), SAV_OK);
    }
    ASSERT_EQ(sav_commit_case_record(handle), SAV_OK);
  }
#ifndef KORVANA_SAV_ASAN
  // The cases went to the file as they came (ReadStat keeps some kilobytes
  // per variable, and the output a buffer of a megabyte).
  EXPECT_LT(allocated() - beforeWriting, values / 4) << "the writer holds the cases";
#endif
  ASSERT_EQ(sav_close_write(handle), SAV_OK);

#ifndef KORVANA_SAV_ASAN
  const std::size_t before = allocated();
#endif
  ASSERT_EQ(sav_open_read(path.c_str(), &handle), SAV_OK);
#ifndef KORVANA_SAV_ASAN
  const std::size_t held = allocated() - before;
  // Cases stream through a window of a few megabytes; ReadStat's own
  // dictionary takes a few more (some kilobytes per variable).
  EXPECT_LT(held, values / 2) << "the reader holds the whole file";
#endif
  int count = 0;
  ASSERT_EQ(sav_get_number_of_cases(handle, &count), SAV_OK);
  EXPECT_EQ(count, kCases);
  for (int v = 0; v < kVariables; ++v) {
    ASSERT_EQ(sav_get_var_handle(handle, ("variable" + std::to_string(v)).c_str(), &handles[static_cast<std::size_t>(v)]), SAV_OK);
  }
  int mismatches = 0;
  for (int c = 0; c < kCases; ++c) {
    ASSERT_EQ(sav_read_case_record(handle), SAV_OK);
    for (int v = 0; v < kVariables; ++v) {
      double got = 0;
      ASSERT_EQ(sav_get_value_numeric(handle, handles[static_cast<std::size_t>(v)], &got), SAV_OK);
      if (got != value(c, v)) ++mismatches;
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(sav_read_case_record(handle), SAV_END_OF_CASES);
  EXPECT_EQ(sav_close_read(handle), SAV_OK);
}

}  // namespace
