#include "platform/spssio/SavCaseRecord.h"

#include <cfloat>
#include <cmath>
#include <cstring>

namespace korvana::sav {

namespace {

constexpr double kSystemMissing = -DBL_MAX;

}  // namespace

SavCaseRecord::SavCaseRecord(const std::vector<int>& widths) : widths_(widths) {
  offsets_.reserve(widths.size());
  for (const int width : widths) {
    offsets_.push_back(size_);
    if (width == 0) numericOffsets_.push_back(size_);
    size_ += slotBytes(width);
  }
}

void SavCaseRecord::clear(char* record) const {
  std::memset(record, ' ', size_);
  for (const std::size_t at : numericOffsets_) std::memcpy(record + at, &kSystemMissing, sizeof kSystemMissing);
}

void SavCaseRecord::normalizeMissing(char* record) const {
  for (const std::size_t at : numericOffsets_) {
    double value;
    std::memcpy(&value, record + at, sizeof value);
    if (std::isnan(value)) std::memcpy(record + at, &kSystemMissing, sizeof kSystemMissing);
  }
}

double SavCaseRecord::numeric(const char* record, std::size_t variable) const {
  double value;
  std::memcpy(&value, record + offsets_[variable], sizeof value);
  return value;
}

}  // namespace korvana::sav
