// The files open at once, by handle: slots 0 to SAV_MAX_OPEN_FILES - 1, each
// holding a reader or a writer and the serial number the file's variable
// handles carry (SavVariableHandle). A closed slot is reused by a later open,
// with a new serial.
#pragma once

#include "platform/spssio/SavReader.h"
#include "platform/spssio/SavWriter.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace korvana::sav {

struct SavOpenFile {
  std::uint32_t serial = 0;
  std::unique_ptr<SavReader> reader;  // exactly one of reader and writer is set
  std::unique_ptr<SavWriter> writer;
};

class SavFileTable {
 public:
  static constexpr int kSlots = 64;

  // The table of this process.
  static SavFileTable& instance();

  bool full() const;
  // The handle of the file, now in the table; nullopt when the table is full.
  std::optional<int> add(std::unique_ptr<SavReader> reader);
  std::optional<int> add(std::unique_ptr<SavWriter> writer);
  // The open file with this handle, or null.
  SavOpenFile* find(int handle);
  void remove(int handle);

 private:
  std::optional<int> place(SavOpenFile file);

  std::array<SavOpenFile, kSlots> slots_;
  std::uint32_t lastSerial_ = 0;
};

}  // namespace korvana::sav
