// One variable of the open data set's dictionary, as the dialog lists it and
// the proximities command names it.
#pragma once

#include <cstdint>
#include <string>

namespace korvana {

class Variable {
 public:
  /// type: the package's type code, 0 for numeric, anything else for string.
  Variable(std::int32_t index, std::string name, std::string label, std::int32_t type);

  std::int32_t getIndex() const { return index_; }
  const std::string& getName() const { return name_; }
  const std::string& getLabel() const { return label_; }
  std::int32_t getType() const { return type_; }
  bool isNumeric() const { return type_ == 0; }

  /// The name alone when there is no label, else "label [name]".
  std::string getDisplayText() const;

 private:
  std::int32_t index_;
  std::string name_;
  std::string label_;
  std::int32_t type_;
};

}  // namespace korvana
