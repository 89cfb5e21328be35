// The shared instances of the seven cluster methods, the measures and the
// standardization methods: made by their factories for as long as this object
// lives, and destroyed in the reverse order.
#pragma once

namespace korvana {

class SharedInstances {
 public:
  SharedInstances();
  ~SharedInstances();
  SharedInstances(const SharedInstances&) = delete;
  SharedInstances& operator=(const SharedInstances&) = delete;
};

}  // namespace korvana
