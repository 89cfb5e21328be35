// Cases as whole records (sav_whole_case_out / sav_whole_case_in) against the
// value calls, and the cases decoded straight from a file against the same
// file read through ReadStat, value by value.
#include "SavTestSupport.h"

#include "platform/spssio/SavDataFileLibrary.h"
#include "platform/spssio/SavReader.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

using korvana::sav::SavReader;
using savtest::Cell;
using savtest::FilePlan;

const double kSysmis = -DBL_MAX;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Numbers the bytecode stores in a command (whole numbers near 0), raw, and
// missing; strings of widths that do and do not fill their 8-byte units.
FilePlan mixedPlan(int compression) {
  FilePlan plan;
  plan.compression = compression;
  plan.variables = {{"A", 0}, {"S1", 1}, {"N2", 0}, {"S13", 13}, {"S8", 8}, {"Long", 255}, {"N3", 0}};
  plan.cases = {
      {1.0, std::string("x"), -0.0, std::string("caf\xC3\xA9 au lait"), std::string("12345678"),
       std::string(255, 'z'), 151.0},
      {kNaN, std::string(""), kSysmis, std::string("  lead"), std::string(""), std::string("end "), -99.0},
      {1e-300, std::string(" "), 0.5, std::string(13, 'w'), std::string("a b"), std::string(""), 2.0e15},
  };
  return plan;
}

// What the value calls give back for a cell written as `cell`.
Cell expected(const Cell& cell, int width) {
  if (const double* number = std::get_if<double>(&cell))
    return std::isnan(*number) ? Cell(kSysmis) : Cell(*number);
  std::string text = std::get<std::string>(cell);
  text.resize(static_cast<std::size_t>(width), ' ');
  return text;
}

std::vector<char> recordOf(const FilePlan& plan, const std::vector<Cell>& row) {
  std::vector<char> record;
  for (std::size_t i = 0; i < plan.variables.size(); ++i) {
    const int width = plan.variables[i].length;
    if (width == 0) {
      const double number = std::get<double>(row[i]);
      const char* bytes = reinterpret_cast<const char*>(&number);
      record.insert(record.end(), bytes, bytes + 8);
    } else {
      std::string text = std::get<std::string>(row[i]);
      text.resize((static_cast<std::size_t>(width) + 7) / 8 * 8, ' ');
      record.insert(record.end(), text.begin(), text.end());
    }
  }
  return record;
}

// Writes the plan's first case with the value calls and the others as
// records; false if a call fails.
bool writeMixed(const std::string& path, const FilePlan& plan) {
  FilePlan first = plan;
  first.cases.resize(1);
  if (!savtest::writeFile(path, first).failedCall.empty()) return false;
  int handle = -1;
  if (sav_open_write(path.c_str(), &handle) != SAV_OK) return false;
  sav_set_compression(handle, plan.compression);
  for (const auto& variable : plan.variables) sav_set_var_name(handle, variable.name.c_str(), variable.length);
  if (sav_commit_header(handle) != SAV_OK) return false;
  long size = 0;
  if (sav_get_case_size(handle, &size) != SAV_OK || size != static_cast<long>(recordOf(plan, plan.cases[0]).size()))
    return false;
  std::vector<double> handles(plan.variables.size());
  for (std::size_t i = 0; i < handles.size(); ++i) sav_get_var_handle(handle, plan.variables[i].name.c_str(), &handles[i]);
  for (std::size_t i = 0; i < handles.size(); ++i) {
    const Cell& cell = plan.cases[0][i];
    if (const double* number = std::get_if<double>(&cell)) sav_set_value_numeric(handle, handles[i], *number);
    else sav_set_value_char(handle, handles[i], std::get<std::string>(cell).c_str());
  }
  if (sav_commit_case_record(handle) != SAV_OK) return false;
  for (std::size_t c = 1; c < plan.cases.size(); ++c)
    if (sav_whole_case_out(handle, recordOf(plan, plan.cases[c]).data()) != SAV_OK) return false;
  return sav_close_write(handle) == SAV_OK;
}

class SavWholeCases : public ::testing::TestWithParam<int> {};

TEST_P(SavWholeCases, RecordsAndValueCallsAgree) {
  savtest::TemporaryFolder folder;
  const FilePlan plan = mixedPlan(GetParam());
  const std::string path = folder.file("mixed.sav");
  ASSERT_TRUE(writeMixed(path, plan));

  const savtest::ReadOutcome read = savtest::readFile(path);
  ASSERT_EQ(read.status, 0) << read.failedCall;
  ASSERT_EQ(read.file.cases.size(), plan.cases.size());
  for (std::size_t c = 0; c < plan.cases.size(); ++c)
    for (std::size_t i = 0; i < plan.variables.size(); ++i) {
      const Cell want = expected(plan.cases[c][i], plan.variables[i].length);
      const Cell& got = read.file.cases[c][i];
      if (const double* number = std::get_if<double>(&want)) {
        ASSERT_TRUE(std::holds_alternative<double>(got));
        // Bytecode compression stores -0 as 0; otherwise every bit comes back.
        if (GetParam() == 0) {
          EXPECT_EQ(std::memcmp(number, &std::get<double>(got), 8), 0) << "case " << c << " variable " << i;
        }
        EXPECT_EQ(*number, std::get<double>(got)) << "case " << c << " variable " << i;
      } else {
        EXPECT_EQ(want, got) << "case " << c << " variable " << i;
      }
    }

  // Read back as records: the same values, strings padded in their units.
  int handle = -1;
  ASSERT_EQ(sav_open_read(path.c_str(), &handle), SAV_OK);
  long size = 0;
  ASSERT_EQ(sav_get_case_size(handle, &size), SAV_OK);
  std::vector<char> record(static_cast<std::size_t>(size));
  EXPECT_EQ(sav_whole_case_in(handle, record.data()), SAV_INVALID_CASE);
  for (const auto& row : plan.cases) {
    ASSERT_EQ(sav_read_case_record(handle), SAV_OK);
    ASSERT_EQ(sav_whole_case_in(handle, record.data()), SAV_OK);
    std::vector<Cell> normalized;
    for (std::size_t i = 0; i < row.size(); ++i) normalized.push_back(expected(row[i], plan.variables[i].length));
    const std::vector<char> want = recordOf(plan, normalized);
    ASSERT_EQ(record.size(), want.size());
    for (std::size_t at = 0; at < want.size(); at += 8) {
      double a = 0, b = 0;
      std::memcpy(&a, want.data() + at, 8);
      std::memcpy(&b, record.data() + at, 8);
      // With compression -0 is stored as 0; the values compare equal.
      if (std::memcmp(want.data() + at, record.data() + at, 8) != 0) {
        EXPECT_EQ(a, b) << "bytes " << at;
      }
    }
  }
  EXPECT_EQ(sav_read_case_record(handle), SAV_END_OF_CASES);
  EXPECT_EQ(sav_close_read(handle), SAV_OK);
}

INSTANTIATE_TEST_SUITE_P(Compression, SavWholeCases, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& p) { return p.param ? "bytecode" : "none"; });

TEST(SavWholeCaseOut, RefusedStringsAddNothing) {
  savtest::TemporaryFolder folder;
  const std::string path = folder.file("refused.sav");
  int handle = -1;
  ASSERT_EQ(sav_open_write(path.c_str(), &handle), SAV_OK);
  long size = 0;
  ASSERT_EQ(sav_set_var_name(handle, "S", 3), SAV_OK);
  ASSERT_EQ(sav_set_var_name(handle, "X", 0), SAV_OK);
  EXPECT_EQ(sav_get_case_size(handle, &size), SAV_DICTIONARY_NOT_COMMITTED);
  EXPECT_EQ(sav_whole_case_out(handle, "abc     "), SAV_DICTIONARY_NOT_COMMITTED);
  ASSERT_EQ(sav_commit_header(handle), SAV_OK);
  ASSERT_EQ(sav_get_case_size(handle, &size), SAV_OK);
  ASSERT_EQ(size, 16);
  const auto record = [](const std::string& text, double x) {
    std::string bytes = text;
    bytes.resize(8, ' ');
    bytes.append(reinterpret_cast<const char*>(&x), 8);
    return bytes;
  };
  EXPECT_EQ(sav_whole_case_out(handle, record("abcd", 1.0).data()), SAV_VALUE_TOO_LONG);
  EXPECT_EQ(sav_whole_case_out(handle, record("a\xC3", 2.0).data()), SAV_INVALID_TEXT);
  // What lies beyond the width of a string is padding.
  EXPECT_EQ(sav_whole_case_out(handle, record("ab ", 3.0).data()), SAV_OK);
  EXPECT_EQ(sav_whole_case_out(handle, nullptr), SAV_INTERNAL_ERROR);
  ASSERT_EQ(sav_close_write(handle), SAV_OK);
  const savtest::ReadOutcome read = savtest::readFile(path);
  ASSERT_EQ(read.status, 0) << read.failedCall;
  ASSERT_EQ(read.file.caseCount, 1);
  ASSERT_EQ(read.file.cases.size(), 1u);
  EXPECT_EQ(read.file.cases[0][0], Cell(std::string("ab ")));
  EXPECT_EQ(read.file.cases[0][1], Cell(3.0));
  const std::vector<unsigned char> bytes = savtest::readBytes(path);
  const std::vector<unsigned char> tail(bytes.end() - 16, bytes.end() - 8);
  EXPECT_EQ(std::string(tail.begin(), tail.end()), "ab      ");
}

// Every value of a file, read through ReadStat or decoded straight from the
// file.
std::vector<std::string> everyValue(const std::string& path, bool decodeDirectly, bool& decodedDirectly) {
  std::unique_ptr<SavReader> reader;
  std::vector<std::string> values;
  if (SavReader::open(path.c_str(), reader, decodeDirectly) != SAV_OK) return {"not opened"};
  decodedDirectly = reader->decodesDirectly();
  int status = SAV_OK;
  while ((status = reader->readNextCase()) == SAV_OK) {
    for (std::size_t i = 0; i < reader->variables().size(); ++i) {
      if (reader->variables()[i].width == 0) {
        const double value = reader->numericValue(i);
        std::string bits(8, '\0');
        std::memcpy(bits.data(), &value, 8);
        values.push_back(bits);
      } else {
        values.emplace_back(reader->stringValue(i));
      }
    }
    std::vector<char> record(reader->caseRecordSize());
    reader->wholeCase(record.data());
    values.emplace_back(record.begin(), record.end());
  }
  values.push_back("status " + std::to_string(status));
  return values;
}

TEST(SavDecodedCases, SameAsReadStatGives) {
  savtest::TemporaryFolder folder;
  std::vector<std::string> files;
  for (const int compression : {0, 1}) {
    const std::string path = folder.file("mixed" + std::to_string(compression) + ".sav");
    ASSERT_TRUE(writeMixed(path, mixedPlan(compression)));
    files.push_back(path);
  }
  // Strings as other programs may leave them: NULs inside and at the end,
  // bytes that are not UTF-8 (which make the case unreadable).
  FilePlan small;
  small.variables = {{"S", 8}, {"X", 0}};
  small.cases = {{std::string("QQQQQQQQ"), 1.5}, {std::string("next"), 2.5}};
  ASSERT_EQ(savtest::writeFile(folder.file("small.sav"), small).failedCall, "");
  const std::vector<unsigned char> original = savtest::readBytes(folder.file("small.sav"));
  const std::string variants[] = {std::string("ab\0cdefg", 8), std::string("ab\0\xA9" "defg", 8),
                                  std::string("ab\xA9" "defgh", 8), std::string("ab\xC3\xA9 \0\0\0", 8),
                                  std::string("\0 \0 \0 \0 ", 8), "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"};
  int variant = 0;
  for (const std::string& bytes : variants) {
    std::vector<unsigned char> edited = original;
    for (std::size_t at = 0; at + 8 <= edited.size(); ++at)
      if (std::memcmp(edited.data() + at, "QQQQQQQQ", 8) == 0) std::memcpy(edited.data() + at, bytes.data(), 8);
    const std::string path = folder.file("variant" + std::to_string(variant++) + ".sav");
    savtest::writeBytes(path, edited);
    files.push_back(path);
  }
  for (const auto& entry : std::filesystem::directory_iterator("/usr/share/pspp/examples"))
    if (entry.path().extension() == ".sav") files.push_back(entry.path().string());

  for (const std::string& path : files) {
    bool direct = false;
    bool parsed = true;
    const std::vector<std::string> decoded = everyValue(path, true, direct);
    const std::vector<std::string> read = everyValue(path, false, parsed);
    EXPECT_TRUE(direct) << path;
    EXPECT_FALSE(parsed) << path;
    EXPECT_EQ(decoded, read) << path;
  }
}

}  // namespace
