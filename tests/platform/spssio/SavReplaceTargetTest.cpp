// Writing over an existing file: the file reserved for the data (empty,
// owner-only) is replaced by the complete file and keeps its permissions.
#include "SavTestSupport.h"

#include "platform/spssio/SavDataFileLibrary.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace {

using savtest::TemporaryFolder;

mode_t permissionsOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

void reserve(const std::string& path, mode_t mode) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::fchmod(fd, mode), 0);
  ::close(fd);
}

TEST(SavReplaceTarget, EmptyReservedFileIsReplacedAndKeepsItsPermissions) {
  TemporaryFolder folder;
  for (const mode_t mode : {mode_t{0600}, mode_t{0640}}) {
    SCOPED_TRACE(mode);
    const std::string path = folder.file("kvana" + std::to_string(mode));
    reserve(path, mode);
    savtest::FilePlan plan;
    plan.variables = {{"ROWTYPE_", 8}, {"VAR1", 0}};
    plan.cases = {{std::string("PROX"), 2.5}};
    const savtest::WriteOutcome outcome = savtest::writeFile(path, plan);
    ASSERT_EQ(outcome.failedCall, "") << outcome.status;
    EXPECT_EQ(permissionsOf(path), mode);
    const savtest::ReadOutcome read = savtest::readFile(path);
    ASSERT_EQ(read.status, SAV_OK) << read.failedCall;
    ASSERT_EQ(read.file.cases.size(), 1u);
    EXPECT_EQ(read.file.cases[0][1], savtest::Cell(2.5));
  }
  // Nothing but the targets is left in the folder.
  EXPECT_EQ(folder.entries().size(), 2u);
}

TEST(SavReplaceTarget, DiscardedWriteLeavesTheReservedFileAlone) {
  TemporaryFolder folder;
  const std::string path = folder.file("kvana1");
  reserve(path, 0600);
  int handle = -1;
  ASSERT_EQ(sav_open_write(path.c_str(), &handle), SAV_OK);
  ASSERT_EQ(sav_set_var_name(handle, "X", 0), SAV_OK);
  ASSERT_EQ(sav_commit_header(handle), SAV_OK);
  ASSERT_EQ(sav_discard_write(handle), SAV_OK);
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_size, 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"kvana1"});
}

}  // namespace
