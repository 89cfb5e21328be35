// Replacing a file whole: the new content goes into a temporary file in the
// target's folder, is synced to disk, and is renamed over the target; the
// folder is synced so that the rename lasts. A reader sees either the old
// file or the complete new one.
//
// The temporary file is created exclusively (O_EXCL, close-on-exec) under a
// name of its own, ".<name>.XXXXXX", so a link planted in the folder is never
// followed. An existing regular file keeps its permission bits; a new file
// gets newFileMode less the process umask, as open(2) would give it. A
// symbolic link at the target is replaced by the new file: the file it points
// to is neither written nor consulted for its mode.
//
// On failure the temporary file is removed, the target is left as it was, and
// EKorvanaError names the target, the step and the system's reason. Syncing
// the folder after the rename is the one step whose failure is not reported:
// some file systems refuse it, and the new content is in place by then.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace korvana {

/// Permissions asked for a new file that only its owner should read.
inline constexpr mode_t privateFileMode = 0600;
/// Permissions asked for a new document: what the umask allows.
inline constexpr mode_t documentFileMode = 0666;

/// Appends a piece of the content to the file being written.
using ContentWriter = std::function<void(std::string_view piece)>;
/// Writes the content through the writer it is given, in as many pieces as
/// it likes. An exception it throws abandons the replacement and travels on.
using ContentProducer = std::function<void(const ContentWriter& write)>;

/// A replacement written over time and put in place only when committed: the
/// content goes into the temporary file as it comes; commit renames it over
/// the target; a pending file destroyed uncommitted is removed and the
/// target left as it was.
class PendingFile {
 public:
  PendingFile(const std::filesystem::path& target, mode_t newFileMode = privateFileMode);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  void write(std::string_view piece);
  void commit();
  const std::filesystem::path& target() const { return target_; }

 private:
  void flush();
  void writeAll(std::string_view bytes);

  std::filesystem::path target_;
  mode_t newFileMode_;
  std::filesystem::path folder_;
  std::string path_;
  int fd_ = -1;
  std::string buffer_;
};

void replaceFileAtomically(const std::filesystem::path& target, std::string_view content,
                           mode_t newFileMode = privateFileMode);
void replaceFileAtomically(const std::filesystem::path& target, const ContentProducer& produce,
                           mode_t newFileMode = privateFileMode);

}  // namespace korvana
