// Helpers for tests that use the registry: a private registry folder per
// test, seeding keys and values, and a listing of everything in it.
#pragma once

#include <string>
#include <vector>

#include "platform/host/Registry.h"

namespace korvana::host::testing {

// A fresh temporary folder; while the object lives, KORVANA_REGISTRY_DIR
// names its subfolder "registry" (not created yet). Removed at the end.
class TemporaryRegistry {
 public:
  TemporaryRegistry();
  ~TemporaryRegistry();
  TemporaryRegistry(const TemporaryRegistry&) = delete;
  TemporaryRegistry& operator=(const TemporaryRegistry&) = delete;

  const std::string& base() const { return base_; }
  const std::string& folder() const { return folder_; }
  std::string filePath() const { return folder_ + "/registry.txt"; }
  // The bytes of registry.txt, or "<absent>" when there is none.
  std::string fileText() const;
  void writeFile(const std::string& text) const;

 private:
  std::string base_;
  std::string folder_;
  bool hadPrevious_ = false;
  std::string previous_;
};

// Creates root\path (and the keys above it); fails the test on an error.
void createKey(HKEY root, const std::string& path);
// Creates root\path and sets its default value to text plus a terminating zero.
void setDefaultValue(HKEY root, const std::string& path, const std::string& text);
// The default value of root\path byte for byte, or "<none>" when the key has
// no value, or "<error N>" when the key cannot be read.
std::string defaultValue(HKEY root, const std::string& path);
// The names of the subkeys of root\path in enumeration order.
std::vector<std::string> subkeys(HKEY root, const std::string& path);

// Every key of the registry, a key before its subkeys, in enumeration order:
// "ROOT\path" or "ROOT\path = value" with zero bytes shown as \0.
std::vector<std::string> listRegistry();

}  // namespace korvana::host::testing
