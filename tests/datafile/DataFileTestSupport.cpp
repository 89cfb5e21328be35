#include "DataFileTestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace korvana::test {

TemporaryFolder::TemporaryFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "korvana-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
  folder_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
  std::error_code ignored;
  std::filesystem::permissions(folder_, std::filesystem::perms::owner_all, ignored);
  std::filesystem::remove_all(folder_, ignored);
}

bool psppAvailable() { return std::filesystem::exists("/usr/bin/pspp"); }

std::string runPspp(const TemporaryFolder& folder, const std::string& syntax) {
  const auto script = folder.path("job.sps");
  const auto output = folder.path("job.csv");
  writeFile(script, syntax);
  const std::string command = "cd '" + folder.path("").string() + "' && /usr/bin/pspp -O format=csv -o '" +
                              output.string() + "' '" + script.string() + "' > '" +
                              folder.path("job.log").string() + "' 2>&1";
  const int status = std::system(command.c_str());
  const std::string log = readFile(folder.path("job.log"));
  const std::string text = std::filesystem::exists(output) ? readFile(output) : std::string();
  EXPECT_EQ(status, 0) << "PSPP failed:\n" << log << text;
  EXPECT_EQ(text.find("error:"), std::string::npos) << text;
  return text;
}

std::string psppToCsv(const TemporaryFolder& folder, const std::string& dataFile) {
  const auto csv = folder.path("converted.csv");
  std::filesystem::remove(csv);
  const std::string command = "/usr/bin/pspp-convert '" + dataFile + "' '" + csv.string() + "' > '" +
                              folder.path("convert.log").string() + "' 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << readFile(folder.path("convert.log"));
  return std::filesystem::exists(csv) ? readFile(csv) : std::string();
}

}  // namespace korvana::test
