// The running statistics package (ISpssApp). A front end starts it, possibly
// with a data file that becomes the active data set, and shuts it down at the
// end; Korvana attaches to the running instance by its programmatic name
// "SPSS.Application". One instance runs per process at a time.
#pragma once

#include <string>
#include <vector>

#include "SPSS/Spsswin_tlb.h"
#include "platform/spss/outputdoc/CountedObject.h"
#include "platform/spss/DocumentCollection.h"
#include "platform/spss/PackageSession.h"
#include "platform/spss/SyntaxRunner.h"

namespace korvana::spss {

class OutputDocument;

/// The programmatic name the package is registered under while it runs.
inline constexpr const char* applicationProgId = "SPSS.Application";

class StatisticsPackage final : public CountedObject<Spsswin_tlb::ISpssApp> {
 public:
  /// Starts the package with no data set open. Throws EKorvanaError when one
  /// is already running.
  static automation::AutomationPtr<StatisticsPackage> start();
  /// Starts the package with a data file open as data document 0. Throws
  /// EKorvanaError when one is already running or the file cannot be opened
  /// (the package is then not started).
  static automation::AutomationPtr<StatisticsPackage> start(const std::string& dataFile);
  /// The running instance, or null.
  static automation::AutomationPtr<StatisticsPackage> running();

  /// Ends the package: it can no longer be attached to, and every call on it
  /// or on the documents it handed out fails with RPC_E_DISCONNECTED. Then the
  /// output document is saved where its save location says (nothing is saved
  /// without one; a failure to write raises EKorvanaError, the package
  /// being shut down all the same). The output document stays readable
  /// through outputDocument(). Does nothing when the package has already been
  /// shut down.
  void shutdown();
  bool isRunning() const { return !session_->disconnected(); }

  // ISpssApp
  automation::HRESULT get_Documents(Spsswin_tlb::ISpssDocuments** retval) override;
  automation::HRESULT GetDesignatedOutputDoc(Spsswin_tlb::ISpssOutputDoc** retval) override;
  /// Runs the commands one after the other and returns when all have
  /// finished (whatever bSync says). An unknown or failing command leaves an
  /// error item in the output document; the call still succeeds.
  automation::HRESULT ExecuteCommands(const std::wstring& syntax, std::int32_t bSync) override;

  // What a user does in the package itself (not automation calls).
  /// Opens a data file after the open ones; returns its document index.
  /// Throws EKorvanaError when the file cannot be opened.
  std::size_t openDataFile(const std::string& path);
  /// Opens a data file in place of the active data set (document 0), as the
  /// package's own File > Open does; with no document open it becomes
  /// document 0. The other documents keep their places. The replaced
  /// document's references already handed out stay valid and go on showing
  /// its data, and its selection settings go with it. The file is read in
  /// full first: when it cannot be opened (or the package has been shut
  /// down) EKorvanaError is thrown, its message naming the file, and the
  /// documents and the output stay as they were.
  void replaceActiveDataFile(const std::string& path);
  /// Makes the data document at index the active one (index 0).
  void activateDataDocument(std::size_t index);
  void closeDataDocument(std::size_t index);
  /// Selection settings of the active data set; an empty name turns the
  /// setting off. Throw EKorvanaError when no data set is open or the
  /// variable cannot be used.
  void setFilterVariable(const std::string& name);
  void setWeightVariable(const std::string& name);
  void setSplitVariables(const std::vector<std::string>& names);

  /// Makes the next call of an operation (CallFaults::operationNames) fail
  /// with code.
  void failNextCall(const std::string& operation, automation::HRESULT code);

  automation::AutomationPtr<OutputDocument> outputDocument() const;
  DocumentCollection& documents() { return *documents_; }
  /// The commands the package runs; new ones are registered here.
  CommandRegistry& commands() { return runner_.registry(); }

 private:
  StatisticsPackage();
  ~StatisticsPackage() override;

  DataDocument& activeData();

  SharedPackageSession session_;
  automation::AutomationPtr<DocumentCollection> documents_;
  automation::AutomationPtr<OutputDocument> output_;
  SyntaxRunner runner_;
};

/// Attaches to the running package registered under progId and hands back
/// its ISpssApp, counted for the caller. CO_E_CLASSSTRING for a name that is
/// not the package's, MK_E_UNAVAILABLE when the package is not running,
/// E_POINTER for a null retval.
automation::HRESULT attachToApplication(const std::string& progId, Spsswin_tlb::ISpssApp** retval);

}  // namespace korvana::spss
