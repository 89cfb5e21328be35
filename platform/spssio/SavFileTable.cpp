#include "platform/spssio/SavFileTable.h"

#include "platform/spssio/SavDataFileLibrary.h"
#include "platform/spssio/SavVariableHandle.h"

static_assert(korvana::sav::SavFileTable::kSlots == SAV_MAX_OPEN_FILES);

namespace korvana::sav {

SavFileTable& SavFileTable::instance() {
  static SavFileTable table;
  return table;
}

bool SavFileTable::full() const {
  for (const SavOpenFile& slot : slots_) {
    if (!slot.reader && !slot.writer) return false;
  }
  return true;
}

std::optional<int> SavFileTable::place(SavOpenFile file) {
  for (int handle = 0; handle < kSlots; ++handle) {
    SavOpenFile& slot = slots_[static_cast<std::size_t>(handle)];
    if (slot.reader || slot.writer) continue;
    lastSerial_ = lastSerial_ >= SavVariableHandle::kMaxSerial ? 1 : lastSerial_ + 1;
    file.serial = lastSerial_;
    slot = std::move(file);
    return handle;
  }
  return std::nullopt;
}

std::optional<int> SavFileTable::add(std::unique_ptr<SavReader> reader) {
  SavOpenFile file;
  file.reader = std::move(reader);
  return place(std::move(file));
}

std::optional<int> SavFileTable::add(std::unique_ptr<SavWriter> writer) {
  SavOpenFile file;
  file.writer = std::move(writer);
  return place(std::move(file));
}

SavOpenFile* SavFileTable::find(int handle) {
  if (handle < 0 || handle >= kSlots) return nullptr;
  SavOpenFile& slot = slots_[static_cast<std::size_t>(handle)];
  return (slot.reader || slot.writer) ? &slot : nullptr;
}

void SavFileTable::remove(int handle) {
  if (SavOpenFile* file = find(handle)) *file = SavOpenFile();
}

}  // namespace korvana::sav
