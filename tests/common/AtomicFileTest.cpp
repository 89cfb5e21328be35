// Replacing a file atomically: the content arrives whole, the permissions
// follow the old file or the umask, the temporary file is private, unique and
// never a link, and every failure leaves the old file and no temporary file.
#include "common/AtomicFile.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

#include "common/EKorvanaError.h"

#include "tests/common/TestFiles.h"

namespace korvana {
namespace {

using test::readFile;
using test::writeFile;

namespace fs = std::filesystem;

mode_t modeOf(const fs::path& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) throw std::runtime_error("no file " + path.string());
  return info.st_mode & 07777;
}

// The descriptor this process holds open on a file in folder whose name
// starts with prefix, with its path and open flags.
struct OpenFile {
  fs::path path;
  long flags = 0;
};
std::optional<OpenFile> openFileIn(const fs::path& folder, const std::string& prefix) {
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    const fs::path target = fs::read_symlink(entry.path(), error);
    if (error || target.parent_path() != folder || target.filename().string().rfind(prefix, 0) != 0) continue;
    std::ifstream info("/proc/self/fdinfo/" + entry.path().filename().string());
    std::string key;
    std::string value;
    while (info >> key >> value) {
      if (key == "flags:") return OpenFile{target, std::strtol(value.c_str(), nullptr, 8)};
    }
  }
  return std::nullopt;
}

class AtomicFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "korvana-atomic-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = fs::canonical(pattern);
    file = dir / "out.txt";
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(dir, ignored);
  }
  // The names in the folder.
  std::set<std::string> names() const {
    std::set<std::string> found;
    for (const auto& entry : fs::directory_iterator(dir)) found.insert(entry.path().filename().string());
    return found;
  }
  fs::path dir;
  fs::path file;
};

TEST_F(AtomicFileTest, ReplacesTheContentWhole) {
  replaceFileAtomically(file, "first");
  EXPECT_EQ(readFile(file), "first");
  replaceFileAtomically(file, "");
  EXPECT_EQ(readFile(file), "");
  // Pieces smaller and larger than the writer's buffer, in one file.
  const std::string large(200 * 1024 + 7, 'L');
  std::string expected;
  replaceFileAtomically(file, [&](const ContentWriter& write) {
    for (int i = 0; i < 5000; ++i) {
      const std::string piece = std::to_string(i) + ",";
      write(piece);
      expected += piece;
    }
    write(large);
    write("end");
    expected += large + "end";
  });
  EXPECT_EQ(readFile(file), expected);
  EXPECT_EQ(names(), std::set<std::string>{"out.txt"}) << "no temporary file is left";
}

// The permission bits of the result: an existing regular file's are kept,
// a new file (or a link at the target) gets the requested mode less the umask.
TEST_F(AtomicFileTest, PermissionsOfTheExistingFileOrFromTheUmask) {
  const struct {
    std::optional<mode_t> existing;
    bool linkAtTarget;
    mode_t umask;
    mode_t requested;
    mode_t expected;
  } cases[] = {
      {std::nullopt, false, 022, 0666, 0644},
      {std::nullopt, false, 077, 0666, 0600},
      {std::nullopt, false, 022, privateFileMode, 0600},
      {0640, false, 077, 0666, 0640},
      {0444, false, 022, 0666, 0444},
      {0640, true, 022, 0666, 0644},
  };
  for (const auto& c : cases) {
    std::ostringstream describe;
    describe << std::oct << "existing " << (c.existing ? *c.existing : 0) << (c.linkAtTarget ? " behind a link" : "")
             << ", umask " << c.umask << ", requested " << c.requested;
    const std::string what = describe.str();
    fs::remove(file);
    const fs::path pointed = dir / "pointed.txt";
    if (c.existing) {
      const fs::path holder = c.linkAtTarget ? pointed : file;
      writeFile(holder, "old");
      ASSERT_EQ(::chmod(holder.c_str(), *c.existing), 0);
      if (c.linkAtTarget) fs::create_symlink(pointed, file);
    }
    const mode_t saved = ::umask(c.umask);
    replaceFileAtomically(file, "new", c.requested);
    ::umask(saved);
    EXPECT_FALSE(fs::is_symlink(file)) << what;
    EXPECT_EQ(modeOf(file), c.expected) << std::oct << what;
    EXPECT_EQ(readFile(file), "new") << what;
    if (c.linkAtTarget) {
      EXPECT_EQ(readFile(pointed), "old") << what << ": the file behind the link is not written";
      EXPECT_EQ(modeOf(pointed), *c.existing) << what;
      fs::remove(pointed);
    }
  }
}

// While the content is written the temporary file is a private, close-on-exec
// regular file in the target's folder; a link planted where a temporary file
// was, or where a fixed temporary name would be, is never followed.
TEST_F(AtomicFileTest, TheTemporaryFileIsUniqueAndNeverALink) {
  std::optional<OpenFile> first;
  replaceFileAtomically(file, [&](const ContentWriter& write) {
    write("first");
    first = openFileIn(dir, ".out.txt.");
  }, 0666);
  ASSERT_TRUE(first) << "no temporary file in the target's folder";
  EXPECT_NE(first->flags & O_CLOEXEC, 0) << std::oct << first->flags;
  EXPECT_EQ(readFile(file), "first");
  EXPECT_FALSE(fs::exists(first->path));

  const fs::path victim = dir / "victim";
  writeFile(victim, "victim");
  const std::set<std::string> planted = {first->path.filename().string(), "out.txt.new", "out.txt.tmp",
                                         ".out.txt.new", "out.txt~"};
  for (const std::string& name : planted) fs::create_symlink(victim, dir / name);
  std::optional<OpenFile> second;
  const mode_t saved = ::umask(0);  // whatever the umask, the content is written privately
  replaceFileAtomically(file, [&](const ContentWriter& write) {
    write("second");
    second = openFileIn(dir, ".out.txt.");
    ASSERT_TRUE(second);
    EXPECT_FALSE(fs::is_symlink(second->path));
    EXPECT_EQ(modeOf(second->path), 0600u) << std::oct << "readable by others while incomplete";
  }, 0666);
  ::umask(saved);
  ASSERT_TRUE(second);
  EXPECT_NE(second->path, first->path);
  EXPECT_EQ(readFile(file), "second");
  EXPECT_EQ(readFile(victim), "victim");
  std::set<std::string> expected = planted;
  expected.insert({"out.txt", "victim"});
  EXPECT_EQ(names(), expected);
  for (const std::string& name : planted) EXPECT_TRUE(fs::is_symlink(dir / name)) << name;
}

// Runs the replacement in a child process, which may lower its own file size
// limit or become user nobody (root writes into any folder) without touching
// the tests. Gives the message of what the replacement threw, or nothing when
// the child could not prepare.
std::optional<std::string> failureInChild(const std::function<bool()>& prepare, const std::function<void()>& replace) {
  int channel[2];
  if (::pipe(channel) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    if (!prepare()) _exit(3);
    std::string message = "no error";
    try {
      replace();
    } catch (const EKorvanaError& e) {
      message = e.what();
    } catch (const std::exception& e) {
      message = std::string("other: ") + e.what();
    }
    _exit(::write(channel[1], message.data(), message.size()) == static_cast<ssize_t>(message.size()) ? 0 : 2);
  }
  ::close(channel[1]);
  std::string message;
  char buffer[512];
  for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;) message.append(buffer, static_cast<std::size_t>(n));
  ::close(channel[0]);
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) return "no child";
  if (WIFEXITED(status) && WEXITSTATUS(status) == 3) return std::nullopt;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "the child ended with status " + std::to_string(status);
  return message;
}

bool lowerFileSizeLimit() {
  std::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{8, 8};
  return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

bool becomeUnprivileged() {
  return ::geteuid() != 0 || (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0);
}

// Each failure names the target and the step (or is the producer's own
// error), keeps the old content and leaves no temporary file.
TEST_F(AtomicFileTest, AFailureKeepsTheOldFile) {
  const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                        fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
  const struct {
    const char* what;
    std::function<fs::path(const fs::path& dir)> target;  // prepares the folder, gives the target
    std::function<bool()> prepare;
    ContentProducer produce;
    std::string expected;  // the message, or what follows "'<target>' " in it
  } cases[] = {
      {"missing folder", [](const fs::path& d) { return d / "missing" / "out.txt"; }, [] { return true; },
       [](const ContentWriter& write) { write("x"); }, "(creating a temporary file): No such file or directory"},
      {"folder without write permission",
       [&](const fs::path& d) {
         fs::permissions(d, readOnly);
         return d / "out.txt";
       },
       becomeUnprivileged, [](const ContentWriter& write) { write("x"); },
       "(creating a temporary file): Permission denied"},
      {"directory at the target",
       [](const fs::path& d) {
         fs::create_directory(d / "folder");
         return d / "folder";
       },
       [] { return true; }, [](const ContentWriter& write) { write("x"); }, "(renaming over it): Is a directory"},
      {"file size limit", [](const fs::path& d) { return d / "out.txt"; }, lowerFileSizeLimit,
       [](const ContentWriter& write) { write(std::string(100 * 1024, 'n')); }, "(writing): File too large"},
      {"the producer fails", [](const fs::path& d) { return d / "out.txt"; }, [] { return true; },
       [](const ContentWriter& write) {
         write(std::string(100 * 1024, 'p'));
         throw std::logic_error("renderer failed");
       },
       "other: renderer failed"},
  };
  for (const auto& c : cases) {
    writeFile(file, "kept");
    const fs::path target = c.target(dir);
    const std::set<std::string> before = names();
    const std::optional<std::string> message =
        failureInChild(c.prepare, [&] { replaceFileAtomically(target, c.produce); });
    fs::permissions(dir, fs::perms::owner_all);
    if (!message) {
      std::cout << "not tried: " << c.what << " (the child could not prepare)\n";
      continue;
    }
    EXPECT_TRUE(*message == c.expected || message->find("'" + target.string() + "' " + c.expected) != std::string::npos)
        << c.what << ": " << *message;
    EXPECT_EQ(readFile(file), "kept") << c.what;
    EXPECT_EQ(names(), before) << c.what;
  }
}

}  // namespace
}  // namespace korvana
