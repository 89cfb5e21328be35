// The recent data files of the desktop program's File menu: the data files
// opened last, most recent first, each file once. Paths are kept as the
// statistics package keeps a document's path: absolute and without "." or
// ".." parts, so that one file has one spelling.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace korvana::app {

/// How many data files the menu lists.
inline constexpr std::size_t recentDataFileLimit = 5;

/// The list with path in front: its earlier place goes, and of the rest the
/// first entries stay, up to the limit.
std::vector<std::string> withRecentDataFile(const std::vector<std::string>& recent, const std::string& path);

/// The entries that are still files, each once, in their order and up to
/// the limit (a settings file edited by hand may hold more).
std::vector<std::string> existingRecentDataFiles(const std::vector<std::string>& recent);

}  // namespace korvana::app
