#include "platform/spssio/SavShortNameTable.h"

#include "platform/spssio/SavText.h"

#include <map>
#include <set>
#include <stdexcept>

namespace korvana::sav {

namespace {

// "_" and n in base 36 (digits, then upper-case letters): at most 7 bytes for
// any n below 36^6, so at least one byte of the name stays in front of it.
std::string suffixFor(unsigned long n) {
  static constexpr char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::string digits;
  do {
    digits.insert(digits.begin(), kDigits[n % 36]);
    n /= 36;
  } while (n != 0);
  return "_" + digits;
}

}  // namespace

std::vector<std::string> SavShortNameTable::assign(const std::vector<std::string>& names) {
  std::vector<std::string> shortNames(names.size());
  std::set<std::string> taken;

  // Names that fit keep their own (upper-cased) spelling, so they are placed
  // first: a truncated longer name must not take a name another variable owns.
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i].size() <= kShortNameLength) {
      shortNames[i] = SavText::upperCase(names[i]);
      if (!taken.insert(shortNames[i]).second) {
        throw std::invalid_argument("variable names are not unique");
      }
    }
  }

  // Suffixes are tried from where the last name with the same first 8 bytes
  // stopped, so many names sharing a start take linear time, not quadratic.
  std::map<std::string, unsigned long> nextSuffix;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i].size() <= kShortNameLength) continue;
    const std::string upper = SavText::upperCase(names[i]);
    const std::string start = upper.substr(0, kShortNameLength);
    std::string candidate = start;
    unsigned long& suffix = nextSuffix.try_emplace(start, 1).first->second;
    while (candidate.back() == '.' || taken.count(candidate) != 0) {
      const std::string tail = suffixFor(suffix++);
      candidate = upper.substr(0, kShortNameLength - tail.size()) + tail;
    }
    taken.insert(candidate);
    shortNames[i] = candidate;
  }
  return shortNames;
}

}  // namespace korvana::sav
