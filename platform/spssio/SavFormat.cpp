#include "platform/spssio/SavFormat.h"

namespace korvana::sav {

SavFormat SavFormat::defaultFor(int variableWidth) {
  return variableWidth == 0 ? SavFormat(kTypeF, 8, 2) : SavFormat(kTypeA, variableWidth, 0);
}

bool SavFormat::isValidFor(int type, int width, int decimals, int variableWidth) {
  switch (type) {
    case kTypeA:
      return variableWidth > 0 && width == variableWidth && decimals == 0;
    case kTypeF:
      return variableWidth == 0 && width >= 1 && width <= 40 && decimals >= 0 &&
             decimals <= 16 && decimals < width;
    case kTypeE:
      return variableWidth == 0 && width >= 6 && width <= 40 && decimals >= 0 &&
             decimals <= 16 && (decimals == 0 || width >= decimals + 7);
    default:
      return false;
  }
}

std::string SavFormat::text() const {
  const char* letter = type_ == kTypeA ? "A" : type_ == kTypeE ? "E" : "F";
  std::string result = letter + std::to_string(width_);
  if (type_ != kTypeA) result += "." + std::to_string(decimals_);
  return result;
}

std::int32_t SavFormat::encoded() const {
  const auto code = (static_cast<std::uint32_t>(type_) << 16) |
                    (static_cast<std::uint32_t>(width_) << 8) |
                    static_cast<std::uint32_t>(decimals_);
  return static_cast<std::int32_t>(code);
}

}  // namespace korvana::sav
