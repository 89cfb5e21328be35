#include "HeadlessChromium.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>

namespace korvana::testing {

namespace fs = std::filesystem;

namespace {

std::string quote(const std::string& text) { return "'" + text + "'"; }

}  // namespace

std::string findChromium() {
  for (const char* name : {"chromium", "chromium-browser", "google-chrome"}) {
    for (const char* dir : {"/usr/bin", "/usr/local/bin", "/snap/bin"}) {
      const fs::path path = fs::path(dir) / name;
      if (::access(path.c_str(), X_OK) == 0) return path.string();
    }
  }
  return {};
}

std::string runChromium(const std::string& chromium, const fs::path& work, const std::string& profile,
                        const std::string& arguments, const fs::path& page, int* status) {
  const std::string command = "timeout 90 " + quote(chromium) + " --headless --no-sandbox --disable-gpu --no-first-run " +
                              "--user-data-dir=" + quote((work / profile).string()) + " " + arguments + " " +
                              quote("file://" + page.string()) + " 2>" + quote((work / (profile + ".log")).string());
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) {
    *status = -1;
    return out;
  }
  std::array<char, 4096> buffer;
  while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) out.append(buffer.data(), n);
  const int raw = ::pclose(pipe);
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

}  // namespace korvana::testing
