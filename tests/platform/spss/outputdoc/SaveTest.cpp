// Saving the output document's renderings. The atomic replacement itself is
// tested in tests/common.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "ExampleOutput.h"
#include "common/EKorvanaError.h"
#include "platform/spss/outputdoc/DocumentFiles.h"
#include "platform/spss/outputdoc/DocumentModel.h"
#include "platform/spss/outputdoc/HtmlRenderer.h"
#include "platform/spss/outputdoc/JsonRenderer.h"
#include "platform/spss/outputdoc/OutputDocument.h"
#include "platform/spss/outputdoc/TextRenderer.h"

#include "tests/common/TestFiles.h"

namespace korvana::spss {
namespace {

using test::readFile;

namespace fs = std::filesystem;

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

// The renderings are documents: new files take what the umask allows.
TEST_F(SaveTest, NewRenderingsTakeTheUmask) {
  auto doc = OutputDocument::create();
  example::writeExampleOutput(*doc);
  doc->setSaveLocation(dir / "output");
  const mode_t saved = ::umask(027);
  doc->save();
  ::umask(saved);
  for (const char* name : {"output.html", "output.txt", "output.json"}) {
    EXPECT_EQ(fs::status(dir / name).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read)
        << name;
  }
}

// Each rendering is written while it is made: a write that fails halfway
// (the file size limit) must stop the save with the error, not leave a cut
// file in place of the old one.
TEST_F(SaveTest, AWriteThatFailsHalfwayKeepsTheOldRendering) {
  auto doc = OutputDocument::create();
  example::writeExampleOutput(*doc);
  doc->appendLogText(std::string(512 * 1024, 'x'));  // beyond every buffer on the way
  const DocumentFiles all = DocumentFiles::fromStem(dir / "output");
  const struct {
    const char* what;
    DocumentFiles files;
  } cases[] = {{"json", {{}, {}, all.json}}, {"text", {{}, all.text, {}}}, {"html", {all.html, {}, {}}}};
  for (const auto& c : cases) {
    const fs::path path = c.files.json.empty() ? (c.files.text.empty() ? c.files.html : c.files.text) : c.files.json;
    std::ofstream(path, std::ios::binary) << "old";
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 200 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string message;
    try {
      saveDocument(doc->model(), c.files);
    } catch (const EKorvanaError& e) {
      message = e.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_NE(message.find(path.string()), std::string::npos) << c.what << ": " << message;
    EXPECT_EQ(readFile(path), "old") << c.what;
  }
  EXPECT_EQ(entries(), 3u) << "no temporary file is left";
}

}  // namespace
}  // namespace korvana::spss
