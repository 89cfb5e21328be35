#include "platform/spss/StatisticsPackage.h"

#include "SPSS/AutomationText.h"

#include "common/EKorvanaError.h"
#include "platform/spss/DataSetLoader.h"
#include "platform/spss/outputdoc/OutputDocument.h"

namespace korvana::spss {

using namespace automation;

namespace {

// The running instance, as the system's table of running objects holds it:
// one reference of its own until the package is shut down.
AutomationPtr<StatisticsPackage>& registeredPackage() {
  static AutomationPtr<StatisticsPackage> package;
  return package;
}


}  // namespace

StatisticsPackage::StatisticsPackage()
    : session_(std::make_shared<PackageSession>()),
      documents_(DocumentCollection::create(session_)),
      output_(OutputDocument::create()),
      runner_(CommandRegistry::builtIn()) {}

StatisticsPackage::~StatisticsPackage() = default;

AutomationPtr<StatisticsPackage> StatisticsPackage::start() {
  if (registeredPackage()) throw EKorvanaError("The statistics package is already running");
  auto package = AutomationPtr<StatisticsPackage>::adopt(new StatisticsPackage());
  // Like a freshly started package, it shows one data set: new and empty.
  package->documents_->add(DataDocument::create(DataSet{}, "", package->session_));
  registeredPackage() = package;
  return package;
}

AutomationPtr<StatisticsPackage> StatisticsPackage::start(const std::string& dataFile) {
  if (registeredPackage()) throw EKorvanaError("The statistics package is already running");
  auto package = AutomationPtr<StatisticsPackage>::adopt(new StatisticsPackage());
  package->openDataFile(dataFile);
  registeredPackage() = package;
  return package;
}

AutomationPtr<StatisticsPackage> StatisticsPackage::running() { return registeredPackage(); }

void StatisticsPackage::shutdown() {
  if (session_->disconnected()) return;
  session_->disconnect();
  // The registration may hold the last reference but one; keep this object
  // alive until the output is saved.
  const AutomationPtr<StatisticsPackage> self = AutomationPtr<StatisticsPackage>::share(this);
  if (registeredPackage().get() == this) registeredPackage().reset();
  output_->save();
}

HRESULT StatisticsPackage::get_Documents(Spsswin_tlb::ISpssDocuments** retval) {
  if (retval) *retval = nullptr;
  if (const HRESULT entered = session_->enter("get_Documents"); failed(entered)) return entered;
  if (!retval) return E_POINTER;
  documents_->AddRef();
  *retval = documents_.get();
  return S_OK;
}

HRESULT StatisticsPackage::GetDesignatedOutputDoc(Spsswin_tlb::ISpssOutputDoc** retval) {
  if (retval) *retval = nullptr;
  if (const HRESULT entered = session_->enter("GetDesignatedOutputDoc"); failed(entered)) return entered;
  if (!retval) return E_POINTER;
  output_->AddRef();
  *retval = output_.get();
  return S_OK;
}

HRESULT StatisticsPackage::ExecuteCommands(const std::wstring& syntax, std::int32_t) {
  if (const HRESULT entered = session_->enter("ExecuteCommands"); failed(entered)) return entered;
  CommandContext context(*documents_, *output_);
  runner_.run(automation::utf8Text(syntax), context);
  return S_OK;
}

std::size_t StatisticsPackage::openDataFile(const std::string& path) {
  DataSet data = DataSetLoader::load(path);
  for (const std::string& note : data.readingNotes()) output_->appendWarningText(note);
  auto document = DataDocument::create(std::move(data), path, session_);
  // The new, empty data set a package starts with gives way to the first file.
  const DataDocument* only = documents_->size() == 1 ? documents_->at(0) : nullptr;
  if (only != nullptr && only->path().empty() && only->data().variableCount() == 0 && only->data().caseCount() == 0) {
    documents_->close(0);
  }
  return documents_->add(std::move(document));
}

void StatisticsPackage::replaceActiveDataFile(const std::string& path) {
  if (session_->disconnected())
    throw EKorvanaError("The data file " + path + " cannot be opened: the statistics package has been shut down");
  DataSet data = DataSetLoader::load(path);
  auto document = DataDocument::create(std::move(data), path, session_);
  for (const std::string& note : document->data().readingNotes()) output_->appendWarningText(note);
  if (documents_->size() == 0) {
    documents_->add(std::move(document));
  } else {
    documents_->replace(0, std::move(document));
  }
}

void StatisticsPackage::activateDataDocument(std::size_t index) { documents_->activate(index); }

void StatisticsPackage::closeDataDocument(std::size_t index) { documents_->close(index); }

DataDocument& StatisticsPackage::activeData() {
  DataDocument* active = documents_->at(0);
  if (!active) throw EKorvanaError("No data set is open in the statistics package");
  return *active;
}

void StatisticsPackage::setFilterVariable(const std::string& name) { activeData().setFilterVariable(name); }

void StatisticsPackage::setWeightVariable(const std::string& name) { activeData().setWeightVariable(name); }

void StatisticsPackage::setSplitVariables(const std::vector<std::string>& names) {
  activeData().setSplitVariables(names);
}

void StatisticsPackage::failNextCall(const std::string& operation, HRESULT code) {
  session_->faults().failNextCall(operation, code);
}

AutomationPtr<OutputDocument> StatisticsPackage::outputDocument() const { return output_; }

HRESULT attachToApplication(const std::string& progId, Spsswin_tlb::ISpssApp** retval) {
  if (!retval) return E_POINTER;
  *retval = nullptr;
  // Programmatic names are looked up without regard to case.
  if (!sameVariableName(progId, applicationProgId)) return CO_E_CLASSSTRING;
  AutomationPtr<StatisticsPackage> package = StatisticsPackage::running();
  if (!package) return MK_E_UNAVAILABLE;
  *retval = package.detach();
  return S_OK;
}

}  // namespace korvana::spss
