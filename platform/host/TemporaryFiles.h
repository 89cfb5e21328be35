// Temporary files of the host system.
#pragma once

#include <string>

namespace korvana::host {

/// The folder for temporary files: TMPDIR, else TMP, else /tmp (a variable
/// that is set but empty counts as unset).
std::string temporaryFolder();

/// Whether the temporary folder keeps its files in memory (tmpfs), where a
/// file takes memory as long as it exists.
bool temporaryFolderIsInMemory();

/// Reserves a new temporary file name: creates the file, empty, in
/// temporaryFolder() with a name made of `prefix` and six random characters,
/// exclusively (never an existing file or a link someone else put there) and
/// readable and writable by the owner only. Whoever writes the file next may
/// replace its content. Returns the file's full name, or an empty text when
/// no file could be created (the reason is in errno).
std::string reserveTemporaryFile(const std::string& prefix);

}  // namespace korvana::host
