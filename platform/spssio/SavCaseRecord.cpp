#include "platform/spssio/SavCaseRecord.h"

#include <cfloat>
#include <cmath>
#include <algorithm>
#include <cstring>

namespace korvana::sav {

namespace {

constexpr double kSystemMissing = -DBL_MAX;

}  // namespace

SavCaseRecord::SavCaseRecord(const std::vector<int>& widths) : widths_(widths) {
  offsets_.reserve(widths.size());
  for (const int width : widths) {
    offsets_.push_back(size_);
    const bool numeric = width == 0;
    // Strings stay runs of their own: each has its padding.
    if (numeric && !runs_.empty() && runs_.back().numeric) runs_.back().bytes += 8;
    else runs_.push_back({size_, slotBytes(width), numeric});
    size_ += slotBytes(width);
  }
}

void SavCaseRecord::clear(char* record) const {
  for (const Run& run : runs_) {
    if (!run.numeric) {
      std::memset(record + run.offset, ' ', run.bytes);
      continue;
    }
    double* values = reinterpret_cast<double*>(record + run.offset);
    std::fill_n(values, run.bytes / sizeof(double), kSystemMissing);
  }
}

void SavCaseRecord::copyNormalized(const char* from, char* to) const {
  std::size_t variable = 0;
  for (const Run& run : runs_) {
    if (!run.numeric) {
      const auto width = static_cast<std::size_t>(widths_[variable++]);
      std::memcpy(to + run.offset, from + run.offset, width);
      std::memset(to + run.offset + width, ' ', run.bytes - width);
      continue;
    }
    const std::size_t count = run.bytes / sizeof(double);
    variable += count;
    const char* in = from + run.offset;
    char* out = to + run.offset;
    for (std::size_t k = 0; k < count; ++k) {
      double value;
      std::memcpy(&value, in + k * sizeof value, sizeof value);
      value = std::isnan(value) ? kSystemMissing : value;
      std::memcpy(out + k * sizeof value, &value, sizeof value);
    }
  }
}

double SavCaseRecord::numeric(const char* record, std::size_t variable) const {
  double value;
  std::memcpy(&value, record + offsets_[variable], sizeof value);
  return value;
}

}  // namespace korvana::sav
