// Replacing a file whole: the new content goes into a temporary file in the
// same folder, is flushed to disk, and is then renamed over the target, so a
// reader sees either the old file or the complete new one.
#pragma once

#include <filesystem>
#include <string_view>

namespace korvana::spss {

/// Writes the content to the path atomically. Throws std::system_error naming
/// the path when any step fails; the temporary file is removed then, and an
/// existing file at the path is left as it was.
void writeFileAtomically(const std::filesystem::path& path, std::string_view content);

}  // namespace korvana::spss
