// The program's general error: every failure travels as one of these, carrying
// nothing but an English message for the user.
#pragma once

#include <stdexcept>
#include <string>

namespace korvana {

class EKorvanaError : public std::runtime_error {
 public:
  explicit EKorvanaError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace korvana
