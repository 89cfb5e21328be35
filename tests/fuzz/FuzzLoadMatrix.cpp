// libFuzzer target: any bytes given to the proximity-matrix reader must give a
// matrix or a clear error — never a crash, a hang or a leak.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "datafile/ProximityMatrixFile.h"
#include "engine/ProximityMatrix.h"
#include "platform/host/MessageBoxes.h"

namespace {

const std::string& inputPath() {
  static const std::string path = [] {
    const char* folder = std::getenv("TMPDIR");
    const std::string base = folder != nullptr && folder[0] != '\0' ? folder : "/tmp";
    std::string file = base + "/korvana-fuzz-" + std::to_string(getpid()) + ".sav";
    std::atexit([] { std::remove(inputPath().c_str()); });
    return file;
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static korvana::host::RecordingMessageBoxes boxes;
  korvana::host::setMessageBoxService(&boxes);
  boxes.clear();
  if (std::FILE* file = std::fopen(inputPath().c_str(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
  } else {
    return 0;
  }
  korvana::ProximityMatrix matrix;
  const bool loaded = loadProximityMatrix(inputPath(), matrix);
  // A refusal always comes with exactly one message; success with none.
  if (loaded == boxes.shown().empty()) {
    if (!loaded && boxes.shown().size() != 1) __builtin_trap();
  } else {
    __builtin_trap();
  }
  if (loaded)
    for (int i = 0; i < matrix.getNumberOfObjects(); ++i) (void)matrix.getObjectLabel(i);
  return 0;
}
