// End to end through the package: start it with a data file, attach by name as
// the program does, write headings, titles, tables and a text item into the
// designated output document through the interfaces, shut the package down,
// and find all of it in the saved HTML, text and JSON renderings.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "ExampleOutput.h"
#include "SpssTestSupport.h"
#include "platform/spss/StatisticsPackage.h"
#include "platform/spss/outputdoc/OutputDocument.h"
#include "tests/common/TestFiles.h"

namespace {

using namespace korvana::automation;
using korvana::spss::attachToApplication;
using korvana::spss::StatisticsPackage;
using korvana::test::readFile;

TEST(PackageOutput, WrittenThroughTheInterfacesAndSavedInEveryRendering) {
  spsstest::TemporaryFolder folder;
  spsstest::PackageGuard guard;
  const std::string data = folder.file("data.csv");
  spsstest::writeText(data, "id,x,y\na,1,2\nb,3,4\n");
  auto package = StatisticsPackage::start(data);
  package->outputDocument()->setSaveLocation(folder.path() / "run");

  AutomationPtr<Spsswin_tlb::ISpssApp> app;
  ASSERT_EQ(attachToApplication("SPSS.Application", app.put()), S_OK);
  AutomationPtr<Spsswin_tlb::ISpssDocuments> documents;
  ASSERT_EQ(app->get_Documents(documents.put()), S_OK);
  AutomationPtr<Spsswin_tlb::ISpssDataDoc> dataDocument;
  ASSERT_EQ(documents->GetDataDoc(0, dataDocument.put()), S_OK);
  std::int32_t cases = 0;
  ASSERT_EQ(dataDocument->GetNumberOfCases(&cases), S_OK);
  EXPECT_EQ(cases, 2);

  AutomationPtr<Spsswin_tlb::ISpssOutputDoc> output;
  ASSERT_EQ(app->GetDesignatedOutputDoc(output.put()), S_OK);
  ASSERT_EQ(output->put_Visible(1), S_OK);
  korvana::spss::example::writeExampleOutput(*output);
  output.reset();
  dataDocument.reset();
  documents.reset();
  app.reset();
  package->shutdown();

  const std::string html = readFile(folder.path() / "run.html");
  const std::string text = readFile(folder.path() / "run.txt");
  const auto model = nlohmann::json::parse(readFile(folder.path() / "run.json"));
  for (const char* shown : {"Korvana", "Permutation Fit", "Identity permutation", "Dendrogram"}) {
    EXPECT_NE(html.find(shown), std::string::npos) << shown;
    EXPECT_NE(text.find(shown), std::string::npos) << shown;
    EXPECT_NE(model.dump().find(shown), std::string::npos) << shown;
  }
  // The dendrogram's rich text is drawn with box-drawing lines in both texts.
  EXPECT_NE(html.find("\u2502"), std::string::npos);
  EXPECT_NE(text.find("\u2502"), std::string::npos);
}

}  // namespace
