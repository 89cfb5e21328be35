// libFuzzer target: any bytes read as a settings file give a request and a
// report, never a crash or a hang; a request written back and read again is
// the same request with nothing to report.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "analysis/SettingsFile.h"
#include "common/EKorvanaError.h"

namespace {

std::string temporaryPath(const char* suffix) {
  const char* folder = std::getenv("TMPDIR");
  const std::string base = folder != nullptr && folder[0] != '\0' ? folder : "/tmp";
  return base + "/korvana-fuzz-settings-" + std::to_string(::getpid()) + suffix;
}

const std::string& inputPath() {
  static const std::string path = temporaryPath(".ini");
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool cleanup = [] {
    std::atexit([] { std::remove(inputPath().c_str()); });
    return true;
  }();
  (void)cleanup;
  if (std::FILE* file = std::fopen(inputPath().c_str(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
  } else {
    return 0;
  }
  korvana::SettingsFile settings;
  try {
    settings.load(inputPath());
  } catch (const korvana::EKorvanaError&) {
    return 0;  // a file that cannot be read is refused with a message
  }
  korvana::SettingsReport report;
  const korvana::AnalysisRequest request = settings.readRequest(&report);
  for (const korvana::SettingsEntry& problem : report.problems)
    if (problem.allowed.empty() || problem.key.empty()) __builtin_trap();

  // What the program writes, it reads back unchanged and without complaint
  // (names with ':' in them are the one thing the file cannot hold).
  for (const std::string& name : request.clusterVariables)
    if (name.find(':') != std::string::npos || name.empty()) return 0;
  korvana::SettingsFile written;
  written.writeRequest(request);
  korvana::SettingsFile again;
  again.loadText(written.text());
  if (!(again.readRequest() == request)) __builtin_trap();
  return 0;
}
