// Reference counting shared by every automation object of the package.
#pragma once

#include <cstdint>

namespace korvana::spss {

/// Implements AddRef and Release of an automation interface: the object
/// starts counted once and deletes itself when the last reference goes.
template <class Interface>
class CountedObject : public Interface {
 public:
  std::uint32_t AddRef() override { return ++references_; }
  std::uint32_t Release() override {
    const std::uint32_t left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  CountedObject() = default;
  ~CountedObject() override = default;

 private:
  std::uint32_t references_ = 1;
};

}  // namespace korvana::spss
