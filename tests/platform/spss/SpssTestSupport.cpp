#include "SpssTestSupport.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace spsstest {

namespace fs = std::filesystem;

TemporaryFolder::TemporaryFolder() {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = fs::temp_directory_path() / ("korvana-spss-" + std::to_string(random()));
    if (fs::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("no temporary folder could be made");
}

TemporaryFolder::~TemporaryFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void writeText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool psppAvailable() { return ::access(KORVANA_PSPP_PROGRAM, X_OK) == 0; }

int runPspp(const fs::path& folder, const std::string& syntax, std::string& log) {
  const fs::path script = folder / "make.sps";
  const fs::path output = folder / "pspp.log";
  writeText(script.string(), syntax);
  const std::string command = "cd '" + folder.string() + "' && '" + KORVANA_PSPP_PROGRAM + "' -O format=txt '" +
                              script.string() + "' > '" + output.string() + "' 2>&1";
  const int status = std::system(command.c_str());
  std::ifstream in(output);
  std::ostringstream text;
  text << in.rdbuf();
  log = text.str();
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

PackageGuard::~PackageGuard() {
  if (auto package = korvana::spss::StatisticsPackage::running()) package->shutdown();
}

}  // namespace spsstest
