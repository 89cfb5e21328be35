// The package's open data documents (ISpssDocuments). Index 0 is the active
// data set, the one commands work on.
#pragma once

#include <vector>

#include "SPSS/Spsswin_tlb.h"
#include "platform/spss/outputdoc/CountedObject.h"
#include "platform/spss/DataDocument.h"
#include "platform/spss/PackageSession.h"

namespace korvana::spss {

class DocumentCollection final : public CountedObject<Spsswin_tlb::ISpssDocuments> {
 public:
  static automation::AutomationPtr<DocumentCollection> create(SharedPackageSession session);

  // ISpssDocuments
  automation::HRESULT get_DataDocCount(std::int32_t* retval) override;
  automation::HRESULT GetDataDoc(std::int32_t index, Spsswin_tlb::ISpssDataDoc** retval) override;

  /// Adds a document after the open ones; returns its index.
  std::size_t add(automation::AutomationPtr<DataDocument> document);
  /// Moves the document at index to index 0 (the others keep their order).
  void activate(std::size_t index);
  /// Closes the document at index (references already handed out stay valid).
  void close(std::size_t index);
  /// Puts document in the place of the one at index, which is closed
  /// (references already handed out stay valid and show the old data).
  void replace(std::size_t index, automation::AutomationPtr<DataDocument> document);
  std::size_t size() const { return documents_.size(); }
  /// The document at index, or null outside the range.
  DataDocument* at(std::size_t index) const;

 private:
  explicit DocumentCollection(SharedPackageSession session) : session_(std::move(session)) {}

  SharedPackageSession session_;
  std::vector<automation::AutomationPtr<DataDocument>> documents_;
};

}  // namespace korvana::spss
