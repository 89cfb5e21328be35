// The library's inner rules on their own: short names, UTF-8 cutting,
// variable handles, format codes and the dictionary walk on edited bytes.
#include "SavTestSupport.h"

#include "platform/spssio/SavByteSource.h"
#include "platform/spssio/SavDictionaryLayout.h"
#include "platform/spssio/SavFormat.h"
#include "platform/spssio/SavShortNameTable.h"
#include "platform/spssio/SavText.h"
#include "platform/spssio/SavVariableHandle.h"
#include "platform/spssio/SavVariableName.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <vector>

namespace {

using korvana::sav::SavByteSource;
using korvana::sav::SavDictionaryLayout;
using korvana::sav::SavFormat;
using korvana::sav::SavShortNameTable;
using korvana::sav::SavText;
using korvana::sav::SavVariableHandle;
using korvana::sav::SavVariableName;

TEST(SavLibraryShortNames, UniqueAndPreferringOwnNames) {
  const std::vector<std::string> names = {"LONGNAME_1", "V3_A", "LONGNAME_2", "abcdefgh",
                                          "ABCDEFGHI", "abcdefghij", "ABCDEFG.X", "LONGNAME",
                                          "longname_3", "x"};
  const std::vector<std::string> shortNames = SavShortNameTable::assign(names);
  ASSERT_EQ(shortNames.size(), names.size());
  // Names of up to 8 bytes keep their own spelling, upper-cased, even when a
  // longer name defined earlier starts with the same 8 bytes.
  EXPECT_EQ(shortNames[1], "V3_A");
  EXPECT_EQ(shortNames[3], "ABCDEFGH");
  EXPECT_EQ(shortNames[7], "LONGNAME");
  EXPECT_EQ(shortNames[9], "X");
  std::set<std::string> seen;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string& s = shortNames[i];
    EXPECT_TRUE(seen.insert(s).second) << "duplicate " << s;
    EXPECT_LE(s.size(), 8u);
    EXPECT_TRUE(SavVariableName::isValid(s)) << s;
    EXPECT_EQ(s, SavText::upperCase(s));
    // A short name starts like its name.
    EXPECT_EQ(s[0], SavText::upperCase(names[i])[0]);
  }
  // "ABCDEFG.X" would be cut to "ABCDEFG.", which ends in a dot.
  EXPECT_NE(shortNames[6].back(), '.');
}

TEST(SavLibraryShortNames, ManyNamesWithOnePrefix) {
  std::vector<std::string> names;
  for (int i = 0; i < 5000; ++i) names.push_back("CommonPrefix" + std::to_string(i));
  const std::vector<std::string> shortNames = SavShortNameTable::assign(names);
  const std::set<std::string> distinct(shortNames.begin(), shortNames.end());
  EXPECT_EQ(distinct.size(), names.size());
  for (const std::string& s : shortNames) {
    EXPECT_LE(s.size(), 8u);
    EXPECT_EQ(s.rfind("COMM", 0), 0u) << s;
  }
}

TEST(SavLibraryText, Utf8PrefixNeverSplitsACharacter) {
  const std::string euro = "\xE2\x82\xAC";
  const std::string text = "ab" + euro + "c";  // 6 bytes
  EXPECT_EQ(SavText::utf8Prefix(text, 6), text);
  EXPECT_EQ(SavText::utf8Prefix(text, 5), "ab" + euro);
  EXPECT_EQ(SavText::utf8Prefix(text, 4), "ab");
  EXPECT_EQ(SavText::utf8Prefix(text, 3), "ab");
  EXPECT_EQ(SavText::utf8Prefix(text, 2), "ab");
  EXPECT_EQ(SavText::utf8Prefix(text, 0), "");
  // Bytes that are not UTF-8 are cut where asked.
  const std::string latin = "ab\x80\x80\x80\x80\x80";
  EXPECT_EQ(SavText::utf8Prefix(latin, 5), latin.substr(0, 5));
  EXPECT_TRUE(SavText::equalsIgnoreCase("RowType_", "ROWTYPE_"));
  EXPECT_FALSE(SavText::equalsIgnoreCase("RowType_", "ROWTYPE"));
  EXPECT_EQ(SavText::trimTrailingBlanks("a b  "), "a b");
  EXPECT_EQ(SavText::trimTrailingBlanks("   "), "");
}

TEST(SavLibraryVariableHandles, EncodeAndRecognise) {
  for (std::uint32_t serial : {1u, 2u, 12345u, SavVariableHandle::kMaxSerial}) {
    for (std::uint64_t position : {std::uint64_t{0}, std::uint64_t{1}, SavVariableHandle::kMaxVariables - 1}) {
      const double handle = SavVariableHandle::encode(serial, position);
      EXPECT_EQ(SavVariableHandle::decode(handle, serial, position + 1), position);
      EXPECT_FALSE(SavVariableHandle::decode(handle, serial, position).has_value());
      EXPECT_FALSE(SavVariableHandle::decode(handle, serial + 1, position + 1).has_value());
      EXPECT_FALSE(SavVariableHandle::decode(handle + 0.5, serial, position + 1).has_value());
    }
  }
  for (double bogus : {-1.0, 0.0, 1.0, std::nan(""), std::numeric_limits<double>::infinity(), 1e300}) {
    EXPECT_FALSE(SavVariableHandle::decode(bogus, 1, 100).has_value()) << bogus;
  }
}

TEST(SavLibraryFormats, TextAndCodes) {
  EXPECT_EQ(SavFormat(5, 8, 0).text(), "F8.0");
  EXPECT_EQ(SavFormat(17, 8, 0).text(), "E8.0");
  EXPECT_EQ(SavFormat(5, 8, 6).text(), "F8.6");
  EXPECT_EQ(SavFormat(1, 32, 0).text(), "A32");
  EXPECT_EQ(SavFormat(17, 8, 0).encoded(), 0x110800);
  EXPECT_EQ(SavFormat(1, 255, 0).encoded(), 0x01FF00);
  EXPECT_EQ(SavFormat::defaultFor(0), SavFormat(5, 8, 2));
  EXPECT_EQ(SavFormat::defaultFor(12), SavFormat(1, 12, 0));
}

// A big-endian copy of a file walks the same as the little-endian original.
TEST(SavLibraryDictionaryWalk, EitherByteOrder) {
  savtest::TemporaryFolder folder;
  savtest::FilePlan plan;
  plan.variables = {{"Number", 0, "a label"}, {"Text", 20, ""}};
  plan.cases = {{1.0, std::string("x")}};
  ASSERT_EQ(savtest::writeFile(folder.file("f.sav"), plan).failedCall, "");
  std::vector<unsigned char> bytes = savtest::readBytes(folder.file("f.sav"));
  const SavDictionaryLayout little =
      SavDictionaryLayout::walk(SavByteSource(std::span<const unsigned char>(bytes)));
  ASSERT_EQ(little.status, SavDictionaryLayout::Status::Complete);
  EXPECT_FALSE(little.swapBytes);
  EXPECT_EQ(little.variableCount, 2u);
  EXPECT_EQ(little.elementsPerCase, 1u + 3u);  // Text takes three 8-byte units

  // Swap the integers the walk reads: header fields and record framing.
  const auto swapAt = [&](std::uint64_t offset) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + offset, 4);
    value = SavDictionaryLayout::swapped(value);
    std::memcpy(bytes.data() + offset, &value, 4);
  };
  for (std::uint64_t offset : {64u, 68u, 72u, 76u, 80u}) swapAt(offset);
  for (const auto& record : little.variableRecords) {
    for (std::uint64_t field = 0; field < 24; field += 4) swapAt(record.offset + field);
    if (record.type == 0) swapAt(record.offset + 32);  // the label length of Number
  }
  for (const auto& record : little.extensionRecords) {
    for (std::uint64_t field = 0; field < 16; field += 4) swapAt(record.offset + field);
  }
  swapAt(little.terminationOffset);
  const SavDictionaryLayout big =
      SavDictionaryLayout::walk(SavByteSource(std::span<const unsigned char>(bytes)));
  ASSERT_EQ(big.status, SavDictionaryLayout::Status::Complete);
  EXPECT_TRUE(big.swapBytes);
  EXPECT_EQ(big.variableCount, little.variableCount);
  EXPECT_EQ(big.dataOffset, little.dataOffset);
  EXPECT_EQ(big.headerCaseCount, 1);
}

}  // namespace
