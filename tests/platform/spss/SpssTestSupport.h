// Helpers for the package tests: a temporary folder, text files, PSPP runs
// that write data files, and a guard that shuts the package down.
#pragma once

#include <filesystem>
#include <string>

#include "platform/spss/StatisticsPackage.h"

namespace spsstest {

// A new folder under the system's temporary folder, removed with its contents.
class TemporaryFolder {
 public:
  TemporaryFolder();
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

void writeText(const std::string& path, const std::string& text);
std::string readText(const std::string& path);

bool psppAvailable();
// Runs the syntax with PSPP in folder; returns PSPP's exit status and puts
// what it printed into log.
int runPspp(const std::filesystem::path& folder, const std::string& syntax, std::string& log);

// Shuts the package down when the test ends, whatever happens in it.
class PackageGuard {
 public:
  PackageGuard() = default;
  ~PackageGuard();
  PackageGuard(const PackageGuard&) = delete;
  PackageGuard& operator=(const PackageGuard&) = delete;
};

}  // namespace spsstest
