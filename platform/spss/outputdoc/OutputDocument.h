// The package's output document: an outline of output items (headings,
// titles, text items, pivot tables and graphics) that every procedure appends
// to.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "SPSS/AutomationCore.h"
#include "SPSS/Spsswin_tlb.h"

namespace korvana::spss {

class DocumentModel;

class OutputDocument final : public Spsswin_tlb::ISpssOutputDoc {
 public:
  /// A new, visible document holding its root heading, counted once for the
  /// caller.
  static korvana::automation::AutomationPtr<OutputDocument> create();

  // ISpssOutputDoc
  std::uint32_t AddRef() override;
  std::uint32_t Release() override;
  korvana::automation::HRESULT get_Items(Spsswin_tlb::ISpssItems** retval) override;
  korvana::automation::HRESULT InsertHeading(const std::string& label, std::int32_t* retval) override;
  korvana::automation::HRESULT InsertTitle(const std::string& label, const std::string& titleText,
                                           std::int32_t* retval) override;
  korvana::automation::HRESULT InsertTable(const std::string& label, std::int32_t rows, std::int32_t columns,
                                           std::int32_t layers, std::int32_t* retval) override;
  korvana::automation::HRESULT InsertGraphic(const std::string& label, const std::string& svg,
                                             std::int32_t* retval) override;
  korvana::automation::HRESULT put_Visible(std::int32_t visible) override;
  korvana::automation::HRESULT Promote() override;

  /// Appends an error text item, as the package logs a command that failed.
  void appendErrorText(const std::string& text);
  /// Appends a log item holding the echoed command text.
  void appendLogText(const std::string& text);
  /// A warning of the package's own (about data it read, for example).
  void appendWarningText(const std::string& text);

  /// Where save() writes: <stem>.html, <stem>.txt and <stem>.json.
  void setSaveLocation(const std::filesystem::path& stem);
  const std::filesystem::path& saveLocation() const { return saveStem_; }
  /// Writes the three renderings atomically (each file is replaced whole or
  /// left as it was). Does nothing when no location is set. Throws
  /// EKorvanaError when a file cannot be written. Called by the package
  /// when it shuts down.
  void save() const;
  /// As save(), for the path where an error ends the program: never throws;
  /// returns false and puts the reason into *reason (when given) on failure.
  bool saveAfterError(std::string* reason = nullptr) const noexcept;

  /// The document's content, for the renderers and for tests.
  const DocumentModel& model() const { return *model_; }
  DocumentModel& model() { return *model_; }

 private:
  OutputDocument();
  ~OutputDocument() override;

  std::uint32_t references_ = 1;
  std::unique_ptr<DocumentModel> model_;
  std::filesystem::path saveStem_;
};

}  // namespace korvana::spss
