// Files cut short: at a case boundary the cases simply end; inside a case the
// complete cases are read and the broken one is a read error. Also every
// prefix of a small file, which must give a status and never more than the
// file holds.
#include "SavTestSupport.h"

#include "platform/spssio/SavDataFileLibrary.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using savtest::Cell;
using savtest::FilePlan;
using savtest::TemporaryFolder;

constexpr int kCases = 10;

// Two variables: X (numeric, never a small integer) and S (A8, never blank),
// so that with compression every value is stored in 8 bytes after a block of
// commands: 24 bytes per case, as without compression 16.
FilePlan tenCases(int compression) {
  FilePlan plan;
  plan.compression = compression;
  plan.variables = {{"X", 0, ""}, {"S", 8, ""}};
  for (int c = 0; c < kCases; ++c) {
    plan.cases.push_back({c + 0.25, std::string("case") + std::to_string(c)});
  }
  return plan;
}

struct Written {
  std::vector<unsigned char> bytes;
  std::uint64_t dataOffset = 0;
  std::uint64_t caseBytes = 0;
};

Written writeTenCases(const TemporaryFolder& folder, int compression) {
  Written written;
  const std::string path = folder.file("complete.sav");
  const savtest::WriteOutcome outcome = savtest::writeFile(path, tenCases(compression));
  EXPECT_EQ(outcome.failedCall, "");
  written.bytes = savtest::readBytes(path);
  written.dataOffset = savtest::decodeDictionary(written.bytes).dataOffset;
  written.caseBytes = compression ? 24 : 16;
  if (compression) {
    // The layout assumed above: per case one block [253, 253, 0 ...] and the
    // two values.
    for (int c = 0; c < kCases - 1; ++c) {
      const std::uint64_t block = written.dataOffset + written.caseBytes * static_cast<unsigned>(c);
      EXPECT_EQ(written.bytes.at(block), 253) << c;
      EXPECT_EQ(written.bytes.at(block + 1), 253) << c;
      for (int i = 2; i < 8; ++i) EXPECT_EQ(written.bytes.at(block + static_cast<unsigned>(i)), 0) << c;
    }
  } else {
    EXPECT_EQ(written.bytes.size(), written.dataOffset + written.caseBytes * kCases);
  }
  return written;
}

std::string truncated(const TemporaryFolder& folder, const Written& written, std::uint64_t length) {
  const std::string path = folder.file("cut.sav");
  savtest::writeBytes(path, {written.bytes.begin(), written.bytes.begin() + static_cast<std::ptrdiff_t>(length)});
  return path;
}

// Reads a cut file: the complete cases must come back unchanged, then
// `endStatus`, and no case is current afterwards.
void expectCases(const std::string& path, int completeCases, int endStatus, int headerCount) {
  int handle = -1;
  ASSERT_EQ(sav_open_read(path.c_str(), &handle), SAV_OK);
  int count = 0;
  ASSERT_EQ(sav_get_number_of_cases(handle, &count), SAV_OK);
  EXPECT_EQ(count, headerCount);
  double x = 0;
  double s = 0;
  ASSERT_EQ(sav_get_var_handle(handle, "X", &x), SAV_OK);
  ASSERT_EQ(sav_get_var_handle(handle, "S", &s), SAV_OK);
  for (int c = 0; c < completeCases; ++c) {
    ASSERT_EQ(sav_read_case_record(handle), SAV_OK) << "case " << c;
    double value = 0;
    char text[9];
    ASSERT_EQ(sav_get_value_numeric(handle, x, &value), SAV_OK);
    EXPECT_EQ(value, c + 0.25);
    ASSERT_EQ(sav_get_value_char(handle, s, text, 9), SAV_OK);
    std::string expected = "case" + std::to_string(c);
    expected.resize(8, ' ');
    EXPECT_EQ(std::string(text), expected);
  }
  EXPECT_EQ(sav_read_case_record(handle), endStatus);
  EXPECT_EQ(sav_read_case_record(handle), endStatus) << "the end stays where it is";
  double value = 0;
  EXPECT_EQ(sav_get_value_numeric(handle, x, &value), SAV_INVALID_CASE);
  EXPECT_EQ(sav_close_read(handle), SAV_OK);
}

class SavLibraryTruncation : public ::testing::TestWithParam<int> {};

TEST_P(SavLibraryTruncation, CompleteFileReadsAllCases) {
  TemporaryFolder folder;
  const Written written = writeTenCases(folder, GetParam());
  expectCases(folder.file("complete.sav"), kCases, SAV_END_OF_CASES, kCases);
}

TEST_P(SavLibraryTruncation, CutAtCaseBoundaryEndsTheCases) {
  TemporaryFolder folder;
  const Written written = writeTenCases(folder, GetParam());
  for (int kept : {0, 1, 6, 9}) {
    SCOPED_TRACE(kept);
    const std::string path = truncated(folder, written, written.dataOffset + written.caseBytes * static_cast<unsigned>(kept));
    expectCases(path, kept, SAV_END_OF_CASES, kCases);
  }
}

TEST_P(SavLibraryTruncation, CutInsideCaseIsAReadErrorAfterTheCompleteCases) {
  TemporaryFolder folder;
  const Written written = writeTenCases(folder, GetParam());
  for (int kept : {0, 1, 6, 9}) {
    for (std::uint64_t extra : {std::uint64_t{1}, std::uint64_t{8}, std::uint64_t{12}, written.caseBytes - 1}) {
      SCOPED_TRACE(std::to_string(kept) + " cases and " + std::to_string(extra) + " bytes");
      const std::string path =
          truncated(folder, written, written.dataOffset + written.caseBytes * static_cast<unsigned>(kept) + extra);
      expectCases(path, kept, SAV_FILE_READ_ERROR, kCases);
    }
  }
}

TEST_P(SavLibraryTruncation, HeaderWithoutCaseCount) {
  TemporaryFolder folder;
  Written written = writeTenCases(folder, GetParam());
  // -1 in the header: the count is unknown, so the cases present are counted.
  for (int i = 80; i < 84; ++i) written.bytes[static_cast<std::size_t>(i)] = 0xFF;
  expectCases(truncated(folder, written, written.bytes.size()), kCases, SAV_END_OF_CASES, kCases);
  const std::uint64_t boundary = written.dataOffset + written.caseBytes * 4;
  expectCases(truncated(folder, written, boundary), 4, SAV_END_OF_CASES, 4);
  expectCases(truncated(folder, written, boundary + 8), 4, SAV_FILE_READ_ERROR, 4);
}

TEST_P(SavLibraryTruncation, EveryPrefixGivesAStatus) {
  TemporaryFolder folder;
  FilePlan plan = tenCases(GetParam());
  plan.cases.resize(2);
  const std::string path = folder.file("small.sav");
  ASSERT_EQ(savtest::writeFile(path, plan).failedCall, "");
  const std::vector<unsigned char> bytes = savtest::readBytes(path);
  const savtest::RawDictionary raw = savtest::decodeDictionary(bytes);
  ASSERT_EQ(raw.firstVariableOffset, 176u);
  const std::uint64_t firstRecordEnd = 176 + 32;
  for (std::size_t length = 0; length <= bytes.size(); ++length) {
    savtest::writeBytes(folder.file("prefix.sav"), {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)});
    int handle = -1;
    const int status = sav_open_read(folder.file("prefix.sav").c_str(), &handle);
    int expected = SAV_OK;
    if (length < 4) {
      expected = SAV_INVALID_FILE;
    } else if (length < 176) {
      expected = SAV_FILE_READ_ERROR;
    } else if (length < firstRecordEnd) {
      expected = SAV_NO_TYPE2_RECORD;
    } else if (length < raw.dataOffset) {
      expected = SAV_NO_TYPE999_RECORD;
    }
    ASSERT_EQ(status, expected) << "prefix of " << length << " bytes";
    if (status != SAV_OK) continue;
    int cases = 0;
    int result = SAV_OK;
    while ((result = sav_read_case_record(handle)) == SAV_OK) ++cases;
    EXPECT_LE(cases, 2);
    EXPECT_TRUE(result == SAV_END_OF_CASES || result == SAV_FILE_READ_ERROR) << result;
    if (length == bytes.size()) {
      EXPECT_EQ(cases, 2);
      EXPECT_EQ(result, SAV_END_OF_CASES);
    }
    EXPECT_EQ(sav_close_read(handle), SAV_OK);
  }
}

// Any one byte of a small file damaged: opening gives a status (never a
// crash), and a file that opens reads at most the cases it holds.
TEST_P(SavLibraryTruncation, EveryDamagedByteGivesAStatus) {
  TemporaryFolder folder;
  FilePlan plan = tenCases(GetParam());
  plan.cases.resize(2);
  plan.variables[0].label = "a label";
  const std::string path = folder.file("small.sav");
  ASSERT_EQ(savtest::writeFile(path, plan).failedCall, "");
  const std::vector<unsigned char> bytes = savtest::readBytes(path);
  const std::string damagedPath = folder.file("damaged.sav");
  for (std::size_t position = 0; position < bytes.size(); ++position) {
    for (const int value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
      if (bytes[position] == value) continue;
      std::vector<unsigned char> damaged = bytes;
      damaged[position] = static_cast<unsigned char>(value);
      savtest::writeBytes(damagedPath, damaged);
      int handle = -1;
      const int status = sav_open_read(damagedPath.c_str(), &handle);
      ASSERT_TRUE(status == SAV_OK || status == SAV_FILE_READ_ERROR || status == SAV_INVALID_FILE ||
                  status == SAV_NO_TYPE2_RECORD || status == SAV_NO_TYPE999_RECORD)
          << "byte " << position << " set to " << value << ": status " << status;
      if (status != SAV_OK) continue;
      int cases = 0;
      int result = SAV_OK;
      while ((result = sav_read_case_record(handle)) == SAV_OK) ++cases;
      EXPECT_LE(cases, 2) << "byte " << position;
      EXPECT_TRUE(result == SAV_END_OF_CASES || result == SAV_FILE_READ_ERROR) << result;
      EXPECT_EQ(sav_close_read(handle), SAV_OK);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Compression, SavLibraryTruncation, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& p) {
                           return p.param ? std::string("Bytecode") : std::string("None");
                         });

}  // namespace
