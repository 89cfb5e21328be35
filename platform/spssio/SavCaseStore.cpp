#include "platform/spssio/SavCaseStore.h"

#include <algorithm>
#include <cfloat>
#include <cstring>

namespace korvana::sav {

namespace {

constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
constexpr double kSystemMissing = -DBL_MAX;

}  // namespace

SavCaseStore::SavCaseStore(std::vector<int> widths) : widths_(std::move(widths)) {
  slots_.reserve(widths_.size());
  for (const int width : widths_) {
    if (width == 0) {
      slots_.push_back(numericsPerCase_++);
    } else {
      slots_.push_back(stringBytesPerCase_);
      stringBytesPerCase_ += static_cast<std::size_t>(width);
    }
  }
  const std::size_t caseBytes = numericsPerCase_ * sizeof(double) + stringBytesPerCase_;
  casesPerBlock_ = std::max<std::uint64_t>(1, kBlockBytes / std::max<std::size_t>(caseBytes, 1));
}

double* SavCaseStore::numericRow(std::uint64_t index) const {
  const Block& block = blocks_[static_cast<std::size_t>(index / casesPerBlock_)];
  return block.numerics.get() + (index % casesPerBlock_) * numericsPerCase_;
}

char* SavCaseStore::stringRow(std::uint64_t index) const {
  const Block& block = blocks_[static_cast<std::size_t>(index / casesPerBlock_)];
  return block.strings.get() + (index % casesPerBlock_) * stringBytesPerCase_;
}

void SavCaseStore::appendBlankCase() {
  if (caseCount_ == blocks_.size() * casesPerBlock_) {
    Block block;
    const auto rows = static_cast<std::size_t>(casesPerBlock_);
    block.numerics.reset(new double[rows * numericsPerCase_]);
    block.strings.reset(new char[rows * stringBytesPerCase_]);
    blocks_.push_back(std::move(block));
  }
  ++caseCount_;
  clearCase(caseCount_ - 1);
}

void SavCaseStore::appendCopy(const SavCaseStore& other, std::uint64_t index) {
  appendBlankCase();
  const std::uint64_t target = caseCount_ - 1;
  std::copy_n(other.numericRow(index), numericsPerCase_, numericRow(target));
  std::copy_n(other.stringRow(index), stringBytesPerCase_, stringRow(target));
  std::vector<std::pair<std::size_t, std::string>> copied;
  {
    const std::lock_guard lock(other.longValuesMutex_);
    for (auto found = other.longValues_.lower_bound({index, 0});
         found != other.longValues_.end() && found->first.first == index; ++found) {
      copied.emplace_back(found->first.second, found->second);
    }
  }
  const std::lock_guard lock(longValuesMutex_);
  for (auto& [variable, value] : copied) longValues_[{target, variable}] = std::move(value);
}

void SavCaseStore::clearCase(std::uint64_t index) {
  std::fill_n(numericRow(index), numericsPerCase_, kSystemMissing);
  std::fill_n(stringRow(index), stringBytesPerCase_, ' ');
  const std::lock_guard lock(longValuesMutex_);
  if (!longValues_.empty()) {
    longValues_.erase(longValues_.lower_bound({index, 0}),
                      longValues_.lower_bound({index + 1, 0}));
  }
}

void SavCaseStore::setNumeric(std::uint64_t index, std::size_t variable, double value) {
  numericRow(index)[slots_[variable]] = value;
}

void SavCaseStore::setString(std::uint64_t index, std::size_t variable, std::string_view value) {
  const auto width = static_cast<std::size_t>(widths_[variable]);
  char* cell = stringRow(index) + slots_[variable];
  if (value.size() > width) {
    std::string whole(value);
    const std::lock_guard lock(longValuesMutex_);
    longValues_[{index, variable}] = std::move(whole);
    std::fill_n(cell, width, ' ');
    return;
  }
  {
    const std::lock_guard lock(longValuesMutex_);
    if (!longValues_.empty()) longValues_.erase({index, variable});
  }
  std::copy(value.begin(), value.end(), cell);
  std::fill_n(cell + value.size(), width - value.size(), ' ');
}

double SavCaseStore::numeric(std::uint64_t index, std::size_t variable) const {
  return numericRow(index)[slots_[variable]];
}

std::string_view SavCaseStore::string(std::uint64_t index, std::size_t variable) const {
  const std::lock_guard lock(longValuesMutex_);
  if (!longValues_.empty()) {
    const auto found = longValues_.find({index, variable});
    if (found != longValues_.end()) return found->second;
  }
  return {stringRow(index) + slots_[variable], static_cast<std::size_t>(widths_[variable])};
}

}  // namespace korvana::sav
