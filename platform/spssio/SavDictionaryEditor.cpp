#include "platform/spssio/SavDictionaryEditor.h"

#include "platform/spssio/SavByteSource.h"
#include "platform/spssio/SavDictionaryLayout.h"

#include <algorithm>
#include <cstring>

namespace korvana::sav {

namespace {

constexpr std::int32_t kSubtypeLongNames = 13;
constexpr std::size_t kPrintOffset = 16;  // within a variable record
constexpr std::size_t kWriteOffset = 20;
constexpr std::size_t kNameOffset = 24;

void putInteger(std::vector<unsigned char>& bytes, std::uint64_t offset, std::int32_t value,
                bool swap) {
  auto raw = static_cast<std::uint32_t>(value);
  if (swap) raw = SavDictionaryLayout::swapped(raw);
  std::memcpy(bytes.data() + offset, &raw, sizeof raw);
}

void appendInteger(std::vector<unsigned char>& bytes, std::int32_t value, bool swap) {
  bytes.resize(bytes.size() + 4);
  putInteger(bytes, bytes.size() - 4, value, swap);
}

}  // namespace

bool SavDictionaryEditor::rewrite(std::vector<unsigned char>& bytes,
                                  const std::vector<Variable>& variables) {
  const SavByteSource source(std::span<const unsigned char>(bytes.data(), bytes.size()));
  const SavDictionaryLayout layout = SavDictionaryLayout::walk(source);
  if (layout.status != SavDictionaryLayout::Status::Complete ||
      layout.variableCount != variables.size()) {
    return false;
  }

  std::vector<unsigned char> edited(bytes);
  std::size_t index = 0;
  for (const SavDictionaryLayout::VariableRecord& record : layout.variableRecords) {
    if (record.type < 0) continue;  // continuation of a string
    const Variable& variable = variables[index++];
    if (variable.shortName.empty() || variable.shortName.size() > 8) return false;
    putInteger(edited, record.offset + kPrintOffset, variable.printFormat, layout.swapBytes);
    putInteger(edited, record.offset + kWriteOffset, variable.writeFormat, layout.swapBytes);
    unsigned char* name = edited.data() + record.offset + kNameOffset;
    std::fill_n(name, 8, static_cast<unsigned char>(' '));
    std::memcpy(name, variable.shortName.data(), variable.shortName.size());
  }

  // The new long-name record: SHORT=Full pairs separated by tabs.
  std::string body;
  for (const Variable& variable : variables) {
    if (!body.empty()) body += '\t';
    body += variable.shortName + "=" + variable.name;
  }
  std::vector<unsigned char> record;
  appendInteger(record, 7, layout.swapBytes);
  appendInteger(record, kSubtypeLongNames, layout.swapBytes);
  appendInteger(record, 1, layout.swapBytes);
  appendInteger(record, static_cast<std::int32_t>(body.size()), layout.swapBytes);
  record.insert(record.end(), body.begin(), body.end());

  std::uint64_t replaceAt = layout.terminationOffset;
  std::uint64_t replaceLength = 0;
  const auto existing =
      std::find_if(layout.extensionRecords.begin(), layout.extensionRecords.end(),
                   [](const SavDictionaryLayout::ExtensionRecord& r) {
                     return r.subtype == kSubtypeLongNames;
                   });
  if (existing != layout.extensionRecords.end()) {
    replaceAt = existing->offset;
    replaceLength = existing->length;
  }
  const auto at = edited.begin() + static_cast<std::ptrdiff_t>(replaceAt);
  edited.erase(at, at + static_cast<std::ptrdiff_t>(replaceLength));
  edited.insert(edited.begin() + static_cast<std::ptrdiff_t>(replaceAt), record.begin(),
                record.end());
  bytes = std::move(edited);
  return true;
}

}  // namespace korvana::sav
