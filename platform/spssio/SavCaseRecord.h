// One case as a single record of bytes, the form sav_whole_case_in and
// sav_whole_case_out exchange and the form an uncompressed data file stores:
// the variables in file order, a numeric one as a double (8 bytes), a string
// one as its bytes padded with blanks to the next multiple of 8.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace korvana::sav {

class SavCaseRecord {
 public:
  // One width per variable: 0 for numeric, the width in bytes for strings.
  explicit SavCaseRecord(const std::vector<int>& widths);

  std::size_t size() const { return size_; }
  std::size_t variableCount() const { return offsets_.size(); }
  std::size_t offset(std::size_t variable) const { return offsets_[variable]; }
  int width(std::size_t variable) const { return widths_[variable]; }
  // The bytes a variable takes in the record.
  static std::size_t slotBytes(int width) { return width == 0 ? 8 : (static_cast<std::size_t>(width) + 7) / 8 * 8; }

  // Every numeric value system-missing, every string blank.
  void clear(char* record) const;
  // Copies a record; numbers that are not a number become system-missing, as
  // every value the library stores or hands out does, and the bytes of a
  // string slot beyond its width blanks.
  void copyNormalized(const char* from, char* to) const;

  double numeric(const char* record, std::size_t variable) const;
  // The value as stored: its variable's width, blank-padded.
  std::string_view string(const char* record, std::size_t variable) const {
    return {record + offsets_[variable], static_cast<std::size_t>(widths_[variable])};
  }

 private:
  // Neighbouring variables of one kind, as one stretch of the record.
  struct Run {
    std::size_t offset = 0;
    std::size_t bytes = 0;
    bool numeric = false;
  };

  std::vector<int> widths_;
  std::vector<std::size_t> offsets_;
  std::vector<Run> runs_;
  std::size_t size_ = 0;
};

}  // namespace korvana::sav
