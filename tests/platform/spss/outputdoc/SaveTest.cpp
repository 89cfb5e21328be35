// Atomic saving of the output document's renderings.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include <fstream>
#include <sstream>
#include <system_error>

#include "ExampleOutput.h"
#include "platform/spss/outputdoc/AtomicFile.h"
#include "platform/spss/outputdoc/DocumentModel.h"
#include "platform/spss/outputdoc/HtmlRenderer.h"
#include "platform/spss/outputdoc/JsonRenderer.h"
#include "platform/spss/outputdoc/OutputDocument.h"
#include "platform/spss/outputdoc/TextRenderer.h"

namespace korvana::spss {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class SaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "korvana-outputdoc-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(dir, ignored);
  }
  std::size_t entries() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
  }
  fs::path dir;
};

TEST_F(SaveTest, ReplacesTheFileWholeAndLeavesNoTemporaryFile) {
  const fs::path file = dir / "out.txt";
  writeFileAtomically(file, "first");
  EXPECT_EQ(readFile(file), "first");
  writeFileAtomically(file, "second, longer content");
  EXPECT_EQ(readFile(file), "second, longer content");
  writeFileAtomically(file, "");
  EXPECT_EQ(readFile(file), "");
  EXPECT_EQ(entries(), 1u);
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
}

TEST_F(SaveTest, UnwritableFolderLeavesTheExistingFileUntouched) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into folders without write permission";
  const fs::path file = dir / "out.txt";
  writeFileAtomically(file, "kept");
  fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
  try {
    writeFileAtomically(file, "lost");
    FAIL() << "writing into a read-only folder succeeded";
  } catch (const std::system_error& e) {
    EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << e.what();
  }
  fs::permissions(dir, fs::perms::owner_all);
  EXPECT_EQ(readFile(file), "kept");
  EXPECT_EQ(entries(), 1u);
}

TEST_F(SaveTest, FailedWriteLeavesTheExistingFileUntouched) {
  const fs::path file = dir / "out.txt";
  writeFileAtomically(file, "kept");
  // Files may grow to 8 bytes only: the write of the new content fails.
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 8;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string message;
  try {
    writeFileAtomically(file, "new content longer than eight bytes");
  } catch (const std::system_error& e) {
    message = e.what();
  }
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_NE(message.find("cannot write '" + file.string() + "'"), std::string::npos) << message;
  EXPECT_EQ(readFile(file), "kept");
  EXPECT_EQ(entries(), 1u) << "the temporary file is removed";
}

TEST_F(SaveTest, FailureOnAMissingFolderOrADirectoryTarget) {
  EXPECT_THROW(writeFileAtomically(dir / "missing" / "out.txt", "x"), std::system_error);
  fs::create_directory(dir / "target");
  EXPECT_THROW(writeFileAtomically(dir / "target", "x"), std::system_error);
  EXPECT_TRUE(fs::is_directory(dir / "target"));
  EXPECT_EQ(entries(), 1u) << "the temporary file is removed after a failed rename";
}

TEST_F(SaveTest, DocumentSavesItsThreeRenderings) {
  auto doc = OutputDocument::create();
  example::writeExampleOutput(*doc);
  doc->save();  // no location: nothing written
  EXPECT_EQ(entries(), 0u);
  doc->setSaveLocation(dir / "output");
  doc->save();
  EXPECT_EQ(readFile(dir / "output.html"), renderHtml(doc->model()));
  EXPECT_EQ(readFile(dir / "output.txt"), renderText(doc->model()));
  EXPECT_EQ(readFile(dir / "output.json"), renderJson(doc->model()));
  EXPECT_EQ(entries(), 3u);

  // After an error: no exception, the reason comes back, old files stay.
  doc->appendErrorText("A later error.");
  doc->setSaveLocation(dir / "missing" / "output");
  std::string reason;
  EXPECT_FALSE(doc->saveAfterError(&reason));
  EXPECT_NE(reason.find("missing"), std::string::npos) << reason;
  doc->setSaveLocation(dir / "output");
  EXPECT_TRUE(doc->saveAfterError());
  EXPECT_NE(readFile(dir / "output.txt").find("Error:\nA later error.\n"), std::string::npos);
}

}  // namespace
}  // namespace korvana::spss
