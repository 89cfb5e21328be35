// The file a writer produces, written under a temporary name in the target's
// folder and renamed over the target only once it is complete.
//
// create() makes the temporary file at once, so a target that cannot be
// created is reported when the file is opened. Output is buffered; the first
// failed write makes every later one fail. commit() flushes, syncs the file
// to disk (unless told not to), closes it and renames it over the target
// (then syncs the folder);
// if any step fails, or if the file is discarded or destroyed uncommitted,
// the temporary file is removed and the target is left as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace korvana::sav {

class SavOutputFile {
 public:
  // SAV_OK, SAV_FILE_OPEN_ERROR or SAV_NO_MEMORY (SavDataFileLibrary.h).
  static int create(const char* targetPath, std::unique_ptr<SavOutputFile>& file);

  ~SavOutputFile();
  SavOutputFile(const SavOutputFile&) = delete;
  SavOutputFile& operator=(const SavOutputFile&) = delete;

  bool write(const void* data, std::size_t length);
  // The bytes written so far.
  std::uint64_t size() const { return written_ + buffer_.size(); }
  // Replaces bytes written earlier, at `offset` from the start of the file.
  bool overwrite(std::uint64_t offset, const void* data, std::size_t length);
  bool failed() const { return failed_; }

  // Whether commit() syncs the file to disk first (the default).
  void setSynced(bool synced) { synced_ = synced; }
  // SAV_OK or SAV_FILE_WRITE_ERROR.
  int commit();
  void discard();

  const std::string& temporaryPath() const { return temporaryPath_; }

 private:
  SavOutputFile() = default;
  bool flush();

  std::string targetPath_;
  std::string temporaryPath_;
  std::string folder_;
  int fd_ = -1;
  bool failed_ = false;
  bool synced_ = true;
  std::uint64_t written_ = 0;  // bytes passed to the file, the buffer's not counted
  std::vector<unsigned char> buffer_;
};

}  // namespace korvana::sav
