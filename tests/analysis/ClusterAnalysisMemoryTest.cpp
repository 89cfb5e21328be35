// The memory check of a whole run, in a child process whose address space is
// limited, so that the memory available is known: what it refuses, what it
// names and what it says would fit.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "analysis/ClusterAnalysis.h"
#include "common/EKorvanaError.h"
#include "tests/common/TestFiles.h"

namespace {

std::uint64_t addressSpaceInUse() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmSize:", 0) == 0) return std::stoull(line.substr(7)) * 1024;
  return 0;
}

/// In the child: allows `budget` more bytes of address space, runs the check
/// and ends with its message on standard error (status 1), or with status 0.
[[noreturn]] void checkWithBudget(std::uint64_t budget, int jobs, bool matrixToBeMade) {
  rlimit limit{};
  ::getrlimit(RLIMIT_AS, &limit);
  limit.rlim_cur = addressSpaceInUse() + budget;
  ::setrlimit(RLIMIT_AS, &limit);
  try {
    korvana::ClusterAnalysis::checkMemory(3000, 2, false, jobs, false, matrixToBeMade);
  } catch (const korvana::EKorvanaError& error) {
    std::fputs(error.what(), stderr);
    std::exit(1);
  }
  std::exit(0);
}

// 3000 objects: a triangle of 34.3 MB for the proximity matrix and one for
// each job's working matrix.
TEST(ClusterAnalysisMemory, AWholeRunIsRefusedNamingWhatDoesNotFitAndWhatWould) {
  // Files in the temporary folder (the matrix file) on disk take no memory.
  const korvana::test::ScopedVariable tmpdir("TMPDIR", std::filesystem::current_path().string().c_str());
  constexpr std::uint64_t MB = 1 << 20;
  EXPECT_EXIT(checkWithBudget(200 * MB, 2, true), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(checkWithBudget(95 * MB, 2, true), ::testing::ExitedWithCode(1),
              "^The run of 2 permutations of 3000 objects with 2 jobs needs 105 MB of memory \\(35 MB for the "
              "proximity matrix and 35 MB for each job's working matrix\\), but only [0-9]+ MB is available; at most "
              "1 job fits$");
  EXPECT_EXIT(checkWithBudget(60 * MB, 1, true), ::testing::ExitedWithCode(1),
              "^The run of 2 permutations of 3000 objects needs 70 MB of memory \\(35 MB for the proximity matrix "
              "and 35 MB for the working matrix\\), but only [0-9]+ MB is available; the matrix is too large for "
              "this machine$");
  // Once the matrix is read, only what the run adds to it is counted.
  EXPECT_EXIT(checkWithBudget(80 * MB, 2, false), ::testing::ExitedWithCode(0), "");
}

}  // namespace
