// Print and write formats of a variable: type code, width and decimals, with
// the type codes of the data-file format (1 = A, 5 = F, 17 = E).
//
// The formats this library accepts, and the ranges other readers of the
// format accept for them:
//   A  string variables only; width equal to the variable's width, 0 decimals.
//   F  numeric variables only; width 1 to 40, decimals 0 to 16 and below the
//      width (F8.0, F8.6, F2.1).
//   E  numeric variables only; width 6 to 40, decimals 0 to 16; with decimals
//      d > 0 the width is at least d + 7 (E8.0, E6.0, E8.1, E10.3).
// Other type codes are refused.
#pragma once

#include <cstdint>
#include <string>

namespace korvana::sav {

class SavFormat {
 public:
  static constexpr int kTypeA = 1;
  static constexpr int kTypeF = 5;
  static constexpr int kTypeE = 17;

  SavFormat() = default;
  SavFormat(int type, int width, int decimals) : type_(type), width_(width), decimals_(decimals) {}

  // The default format of a new variable: F8.2 for numeric variables
  // (variableWidth 0), A<width> for string variables.
  static SavFormat defaultFor(int variableWidth);

  // Whether the format is one of those above and fits a variable of
  // variableWidth (0: numeric).
  static bool isValidFor(int type, int width, int decimals, int variableWidth);

  int type() const { return type_; }
  int width() const { return width_; }
  int decimals() const { return decimals_; }

  // "F8.2", "E8.0", "A32".
  std::string text() const;

  // The 32-bit code of a variable record: type << 16 | width << 8 | decimals.
  std::int32_t encoded() const;

  bool operator==(const SavFormat&) const = default;

 private:
  int type_ = kTypeF;
  int width_ = 8;
  int decimals_ = 2;
};

}  // namespace korvana::sav
