// The running package: attaching by name, its lifetime, the documents
// collection, running syntax into the output document, and planted failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "SpssTestSupport.h"
#include "common/EKorvanaError.h"
#include "platform/spss/StatisticsPackage.h"
#include "platform/spss/outputdoc/DocumentModel.h"
#include "platform/spss/outputdoc/OutputDocument.h"

namespace {

using namespace korvana::automation;
using korvana::spss::attachToApplication;
using korvana::spss::DocumentModel;
using korvana::spss::ItemKind;
using korvana::spss::StatisticsPackage;
using Spsswin_tlb::ISpssApp;
using Spsswin_tlb::ISpssDataDoc;
using Spsswin_tlb::ISpssDocuments;
using Spsswin_tlb::ISpssOutputDoc;

class StatisticsPackageTest : public ::testing::Test {
 protected:
  std::string csv(const std::string& name, const std::string& text) {
    const std::string path = folder_.file(name);
    spsstest::writeText(path, text);
    return path;
  }

  spsstest::TemporaryFolder folder_;
  spsstest::PackageGuard guard_;
};

TEST_F(StatisticsPackageTest, AttachingNeedsARunningPackageAndItsName) {
  AutomationPtr<ISpssApp> app;
  EXPECT_EQ(attachToApplication("SPSS.Application", app.put()), MK_E_UNAVAILABLE);
  EXPECT_FALSE(app);

  const auto package = StatisticsPackage::start();
  ASSERT_EQ(attachToApplication("SPSS.Application", app.put()), S_OK);
  EXPECT_EQ(app.get(), static_cast<ISpssApp*>(package.get()));
  AutomationPtr<ISpssApp> again;
  EXPECT_EQ(attachToApplication("spss.application", again.put()), S_OK) << "names are looked up in any case";

  AutomationPtr<ISpssApp> other;
  EXPECT_EQ(attachToApplication("SPSS.Applications", other.put()), CO_E_CLASSSTRING);
  EXPECT_FALSE(other);
  EXPECT_EQ(attachToApplication("SPSS.Application", nullptr), E_POINTER);
}

TEST_F(StatisticsPackageTest, OneInstanceRunsAndShutdownDisconnectsWhatWasHandedOut) {
  auto package = StatisticsPackage::start(csv("a.csv", "x\n1\n"));
  EXPECT_THROW(StatisticsPackage::start(), korvana::EKorvanaError);

  AutomationPtr<ISpssApp> app;
  ASSERT_EQ(attachToApplication("SPSS.Application", app.put()), S_OK);
  AutomationPtr<ISpssDocuments> documents;
  ASSERT_EQ(app->get_Documents(documents.put()), S_OK);
  AutomationPtr<ISpssDataDoc> data;
  ASSERT_EQ(documents->GetDataDoc(0, data.put()), S_OK);

  package->shutdown();
  EXPECT_FALSE(StatisticsPackage::running());
  EXPECT_EQ(attachToApplication("SPSS.Application", app.put()), MK_E_UNAVAILABLE);
  std::int32_t count = -1;
  EXPECT_EQ(documents->get_DataDocCount(&count), RPC_E_DISCONNECTED);
  EXPECT_EQ(data->GetNumberOfCases(&count), RPC_E_DISCONNECTED);
  EXPECT_EQ(count, -1);
  EXPECT_EQ(package->ExecuteCommands(L"FILTER OFF.", 1), RPC_E_DISCONNECTED);

  // A new instance can start once the old one is gone.
  EXPECT_NO_THROW(StatisticsPackage::start());
}

TEST_F(StatisticsPackageTest, ShuttingDownSavesTheOutput) {
  auto package = StatisticsPackage::start();
  package->outputDocument()->setSaveLocation(folder_.path() / "output");
  ASSERT_EQ(package->ExecuteCommands(L"PROXIMITIES a.", 1), S_OK);
  package->shutdown();
  for (const char* name : {"output.html", "output.txt", "output.json"})
    EXPECT_TRUE(std::filesystem::is_regular_file(folder_.path() / name)) << name;
}

TEST_F(StatisticsPackageTest, AFileThatCannotBeOpenedStartsNothing) {
  EXPECT_THROW(StatisticsPackage::start(folder_.file("missing.sav")), korvana::EKorvanaError);
  EXPECT_FALSE(StatisticsPackage::running());
  try {
    StatisticsPackage::start(csv("data.txt", "x\n1\n"));
    FAIL() << "a .txt file was opened";
  } catch (const korvana::EKorvanaError& error) {
    EXPECT_NE(std::string(error.what()).find("data.txt"), std::string::npos) << error.what();
  }
  EXPECT_FALSE(StatisticsPackage::running());
}

TEST_F(StatisticsPackageTest, DocumentZeroIsTheActiveDataSet) {
  const std::string first = csv("first.csv", "a,b\n1,2\n");
  const std::string second = csv("second.csv", "c\nx\ny\n");
  auto package = StatisticsPackage::start();
  AutomationPtr<ISpssDocuments> documents;
  ASSERT_EQ(package->get_Documents(documents.put()), S_OK);
  std::int32_t count = -1;
  ASSERT_EQ(documents->get_DataDocCount(&count), S_OK);
  EXPECT_EQ(count, 1);  // the new, empty data set, which the first file replaces

  EXPECT_EQ(package->openDataFile(first), 0u);
  EXPECT_EQ(package->openDataFile(second), 1u);
  ASSERT_EQ(documents->get_DataDocCount(&count), S_OK);
  EXPECT_EQ(count, 2);

  const auto pathOf = [&](std::int32_t index) {
    AutomationPtr<ISpssDataDoc> data;
    EXPECT_EQ(documents->GetDataDoc(index, data.put()), S_OK);
    std::string path;
    if (data) {
      EXPECT_EQ(data->GetDocumentPath(&path), S_OK);
    }
    return path;
  };
  EXPECT_EQ(pathOf(0), first);
  EXPECT_EQ(pathOf(1), second);

  AutomationPtr<ISpssDataDoc> none;
  EXPECT_EQ(documents->GetDataDoc(2, none.put()), DISP_E_BADINDEX);
  EXPECT_FALSE(none);
  EXPECT_EQ(documents->GetDataDoc(-1, none.put()), DISP_E_BADINDEX);

  package->activateDataDocument(1);
  EXPECT_EQ(pathOf(0), second);
  EXPECT_EQ(pathOf(1), first);
  // The selection settings work on the active data set: "a" is in first.csv
  // only, and the string variable "c" cannot filter.
  EXPECT_THROW(package->setFilterVariable("a"), korvana::EKorvanaError);
  EXPECT_THROW(package->setFilterVariable("c"), korvana::EKorvanaError);
  package->closeDataDocument(0);
  EXPECT_EQ(pathOf(0), first);
  package->setFilterVariable("A");
  AutomationPtr<ISpssDataDoc> active;
  ASSERT_EQ(documents->GetDataDoc(0, active.put()), S_OK);
  std::string filter;
  ASSERT_EQ(active->GetFilterVariable(1, &filter), S_OK);
  EXPECT_EQ(filter, "a") << "the dictionary's spelling, no tab without a label";
}

// The items the package appended to its output document, as kind and text.
std::vector<std::pair<ItemKind, std::string>> packageItems(const StatisticsPackage& package) {
  const DocumentModel& model = package.outputDocument()->model();
  std::vector<std::pair<ItemKind, std::string>> items;
  for (std::size_t i = 0; i < model.count(); ++i) {
    const auto& item = model.item(i);
    if (item.kind == ItemKind::log || item.kind == ItemKind::error) items.emplace_back(item.kind, item.text);
  }
  return items;
}

TEST_F(StatisticsPackageTest, FailingCommandsLeaveErrorItemsAndTheRestStillRuns) {
  auto package = StatisticsPackage::start(csv("d.csv", "x,y,s\n1,0,a\n2,1,b\n"));
  const std::wstring syntax =
      L"FROBNICATE x y.\n"
      L"PROXIMITIES x,y /VIEW=CASE /MEASURE=SQUARED\n"
      L"  /PRINT=NONE /MATRIX=OUT('/tmp/kvana1').\n"
      L"\n"
      L"FILTER BY nosuch.\n"
      L"filter by y.\n"
      L"WEIGHT BY s";
  ASSERT_EQ(package->ExecuteCommands(syntax, 1), S_OK);

  const std::vector<std::pair<ItemKind, std::string>> expected = {
      {ItemKind::log, "FROBNICATE x y."},
      {ItemKind::error,
       "Error in the command on line 1 (FROBNICATE):\n"
       "FROBNICATE is not the name of a command the package knows.\n"
       "This command was not run."},
      {ItemKind::log, "PROXIMITIES x,y /VIEW=CASE /MEASURE=SQUARED\n  /PRINT=NONE /MATRIX=OUT('/tmp/kvana1')."},
      {ItemKind::error,
       "Error in the command on line 2 (PROXIMITIES):\n"
       "PROXIMITIES: unknown measure \"SQUARED\" at position 37.\n"
       "This command was not run."},
      {ItemKind::log, "FILTER BY nosuch."},
      {ItemKind::error,
       "Error in the command on line 5 (FILTER):\nThe data set has no variable nosuch.\nThis command was not run."},
      {ItemKind::log, "filter by y."},
      {ItemKind::log, "WEIGHT BY s."},
      {ItemKind::error,
       "Error in the command on line 7 (WEIGHT):\nThe weight variable s is not numeric.\nThis command was not run."},
  };
  EXPECT_EQ(packageItems(*package), expected);

  AutomationPtr<ISpssDataDoc> data;
  ASSERT_EQ(package->documents().GetDataDoc(0, data.put()), S_OK);
  std::string filter;
  ASSERT_EQ(data->GetFilterVariable(0, &filter), S_OK);
  EXPECT_EQ(filter, "y") << "the command after the failures ran";
  std::string weight = "unchanged";
  ASSERT_EQ(data->GetWeightingVariable(0, &weight), S_OK);
  EXPECT_EQ(weight, "");
}

TEST_F(StatisticsPackageTest, SelectionCommandsChangeTheActiveDataSet) {
  auto package = StatisticsPackage::start(csv("d.csv", "g,h,w\n1,2,3\n"));
  ASSERT_EQ(package->ExecuteCommands(L"SPLIT FILE LAYERED BY g, h.\nWEIGHT BY w.\nFILTER BY g.", 1), S_OK);
  AutomationPtr<ISpssDataDoc> data;
  ASSERT_EQ(package->documents().GetDataDoc(0, data.put()), S_OK);
  std::vector<std::string> split;
  std::int32_t count = 0;
  ASSERT_EQ(data->GetSplitVariables(&split, &count), S_OK);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(split, (std::vector<std::string>{"g", "h"}));
  std::string text;
  ASSERT_EQ(data->GetWeightingVariable(1, &text), S_OK);
  EXPECT_EQ(text, "w");

  ASSERT_EQ(package->ExecuteCommands(L"SPLIT FILE OFF.\nWEIGHT OFF.\nFILTER OFF.", 1), S_OK);
  ASSERT_EQ(data->GetSplitVariables(&split, &count), S_OK);
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(split.empty());
  ASSERT_EQ(data->GetWeightingVariable(1, &text), S_OK);
  EXPECT_EQ(text, "");
  ASSERT_EQ(data->GetFilterVariable(1, &text), S_OK);
  EXPECT_EQ(text, "");
  for (const auto& [kind, itemText] : packageItems(*package)) EXPECT_EQ(kind, ItemKind::log) << itemText;
}

TEST_F(StatisticsPackageTest, CommandsWithoutADataSetReportIt) {
  auto package = StatisticsPackage::start();
  package->closeDataDocument(0);  // the new, empty data set
  ASSERT_EQ(package->ExecuteCommands(L"WEIGHT BY w.", 1), S_OK);
  const auto items = packageItems(*package);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[1].first, ItemKind::error);
  EXPECT_EQ(items[1].second,
            "Error in the command on line 1 (WEIGHT):\nThere is no open data set for the command to work on.\n"
            "This command was not run.");
  EXPECT_THROW(package->setWeightVariable("w"), korvana::EKorvanaError);
}

TEST_F(StatisticsPackageTest, AStartedPackageShowsOneEmptyDataSetThatTheFirstFileReplaces) {
  auto package = StatisticsPackage::start();
  AutomationPtr<ISpssDocuments> documents;
  ASSERT_EQ(package->get_Documents(documents.put()), S_OK);
  std::int32_t count = 0;
  ASSERT_EQ(documents->get_DataDocCount(&count), S_OK);
  EXPECT_EQ(count, 1);
  AutomationPtr<ISpssDataDoc> empty;
  ASSERT_EQ(documents->GetDataDoc(0, empty.put()), S_OK);
  std::int32_t variables = -1;
  ASSERT_EQ(empty->GetNumberOfVariables(&variables), S_OK);
  EXPECT_EQ(variables, 0);
  package->openDataFile(csv("data.csv", "x\n1\n"));
  ASSERT_EQ(documents->get_DataDocCount(&count), S_OK);
  EXPECT_EQ(count, 1);
  package->openDataFile(csv("more.csv", "y\n2\n"));
  ASSERT_EQ(documents->get_DataDocCount(&count), S_OK);
  EXPECT_EQ(count, 2);  // a file's data set stays open
}

// A file opened in place of the active data set replaces it alone; what was
// handed out of the old one still shows the old data; a refused file changes
// nothing.
TEST_F(StatisticsPackageTest, AFileOpenedInPlaceOfTheActiveDataSetReplacesOnlyIt) {
  const std::string first = csv("first.csv", "a,b\n1,2\n3,4\n");
  const std::string second = csv("second.csv", "c\nx\n");
  const std::string third = csv("third.csv", "d,e,f\n1,2,3\n");
  auto package = StatisticsPackage::start(first);
  package->openDataFile(second);
  AutomationPtr<ISpssDataDoc> old;
  ASSERT_EQ(package->documents().GetDataDoc(0, old.put()), S_OK);

  package->replaceActiveDataFile(third);
  ASSERT_EQ(package->documents().size(), 2u);
  EXPECT_EQ(package->documents().at(0)->path(), third);
  EXPECT_EQ(package->documents().at(1)->path(), second);
  std::int32_t cases = 0;
  ASSERT_EQ(old->GetNumberOfCases(&cases), S_OK);
  EXPECT_EQ(cases, 2);

  const auto* active = package->documents().at(0);
  const std::size_t items = package->outputDocument()->model().count();
  for (const std::string& refused : {folder_.file("missing.sav"), csv("cut.sav", "$FL2@(#) not a whole file")}) {
    try {
      package->replaceActiveDataFile(refused);
      FAIL() << refused << " was opened";
    } catch (const korvana::EKorvanaError& error) {
      EXPECT_NE(std::string(error.what()).find(refused), std::string::npos) << error.what();
    }
    EXPECT_EQ(package->documents().size(), 2u);
    EXPECT_EQ(package->documents().at(0), active);
    EXPECT_EQ(package->outputDocument()->model().count(), items);
  }
  package->closeDataDocument(1);
  package->closeDataDocument(0);
  package->replaceActiveDataFile(first);  // with none open it becomes the first
  ASSERT_EQ(package->documents().size(), 1u);
  EXPECT_EQ(package->documents().at(0)->path(), first);
}

TEST_F(StatisticsPackageTest, APlantedFailureHitsTheNextCallOfItsOperationOnly) {
  auto package = StatisticsPackage::start(csv("d.csv", "x\n1\n"));
  AutomationPtr<ISpssDocuments> documents;
  ASSERT_EQ(package->get_Documents(documents.put()), S_OK);

  package->failNextCall("GetDataDoc", E_FAIL);
  package->failNextCall("GetDataDoc", DISP_E_BADINDEX);
  std::int32_t count = 0;
  EXPECT_EQ(documents->get_DataDocCount(&count), S_OK) << "another operation is not affected";
  AutomationPtr<ISpssDataDoc> data;
  EXPECT_EQ(documents->GetDataDoc(0, data.put()), E_FAIL);
  EXPECT_FALSE(data);
  EXPECT_EQ(documents->GetDataDoc(0, data.put()), DISP_E_BADINDEX);
  EXPECT_EQ(documents->GetDataDoc(0, data.put()), S_OK);
  ASSERT_TRUE(data);

  // Documents handed out earlier share the planted failures.
  package->failNextCall("GetVariableInfo", E_OUTOFMEMORY);
  std::vector<std::string> names{"kept"}, labels;
  std::vector<std::int32_t> types, levels, labelCounts;
  std::int32_t variables = -1;
  EXPECT_EQ(data->GetVariableInfo(&names, &labels, &types, &levels, &labelCounts, &variables), E_OUTOFMEMORY);
  EXPECT_EQ(names, std::vector<std::string>{"kept"}) << "a failed call leaves its out values alone";
  EXPECT_EQ(variables, -1);
  EXPECT_EQ(data->GetVariableInfo(&names, &labels, &types, &levels, &labelCounts, &variables), S_OK);
  EXPECT_EQ(variables, 1);

  package->failNextCall("ExecuteCommands", E_ACCESSDENIED);
  EXPECT_EQ(package->ExecuteCommands(L"FILTER BY x.", 1), E_ACCESSDENIED);
  EXPECT_EQ(package->outputDocument()->model().count(), DocumentModel().count()) << "nothing ran";

  EXPECT_THROW(package->failNextCall("GetDataDocs", E_FAIL), std::invalid_argument);
  EXPECT_THROW(package->failNextCall("GetDataDoc", S_FALSE), std::invalid_argument);
}

TEST_F(StatisticsPackageTest, TheDesignatedOutputDocumentIsThePackagesOwn) {
  auto package = StatisticsPackage::start();
  AutomationPtr<ISpssOutputDoc> first;
  AutomationPtr<ISpssOutputDoc> second;
  ASSERT_EQ(package->GetDesignatedOutputDoc(first.put()), S_OK);
  ASSERT_EQ(package->GetDesignatedOutputDoc(second.put()), S_OK);
  EXPECT_EQ(first.get(), second.get());
  EXPECT_EQ(first.get(), static_cast<ISpssOutputDoc*>(package->outputDocument().get()));
  package->failNextCall("GetDesignatedOutputDoc", RPC_E_DISCONNECTED);
  EXPECT_EQ(package->GetDesignatedOutputDoc(first.put()), RPC_E_DISCONNECTED);
  EXPECT_FALSE(first);
}

}  // namespace
