#include "app/RecentDataFiles.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace korvana::app {

namespace {

std::string normalPath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return (error ? std::filesystem::path(path) : absolute).lexically_normal().string();
}

void appendOnce(std::vector<std::string>& list, std::string path) {
  if (list.size() < recentDataFileLimit && std::find(list.begin(), list.end(), path) == list.end())
    list.push_back(std::move(path));
}

}  // namespace

std::vector<std::string> withRecentDataFile(const std::vector<std::string>& recent, const std::string& path) {
  std::vector<std::string> list;
  appendOnce(list, normalPath(path));
  for (const std::string& entry : recent) appendOnce(list, normalPath(entry));
  return list;
}

std::vector<std::string> existingRecentDataFiles(const std::vector<std::string>& recent) {
  std::vector<std::string> list;
  for (const std::string& entry : recent) {
    std::error_code error;
    if (std::filesystem::is_regular_file(entry, error)) appendOnce(list, normalPath(entry));
  }
  return list;
}

}  // namespace korvana::app
