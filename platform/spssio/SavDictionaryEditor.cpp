#include "platform/spssio/SavDictionaryEditor.h"

#include "platform/spssio/SavByteSource.h"
#include "platform/spssio/SavDictionaryLayout.h"

#include <algorithm>
#include <cstring>

namespace korvana::sav {

namespace {

constexpr std::int32_t kSubtypeLongNames = 13;
constexpr std::int32_t kSubtypeLongStringValueLabels = 21;
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

std::int32_t getInteger(const std::vector<unsigned char>& bytes, std::uint64_t offset, bool swap) {
  std::uint32_t raw = 0;
  std::memcpy(&raw, bytes.data() + offset, sizeof raw);
  if (swap) raw = SavDictionaryLayout::swapped(raw);
  return static_cast<std::int32_t>(raw);
}

// A long string value label record (a header of four integers, then per
// variable: name length, name, width, label count, and per label value length,
// value, label length, label) with every variable's short name replaced by
// its full name. False when the record does not parse or names a variable
// that is not there.
bool renameLongStringLabels(const std::vector<unsigned char>& bytes,
                            const SavDictionaryLayout::ExtensionRecord& extension,
                            const std::vector<SavDictionaryEditor::Variable>& variables, bool swap,
                            std::vector<unsigned char>& result) {
  const std::uint64_t end = extension.offset + extension.length;
  std::uint64_t at = extension.offset + 16;
  std::vector<unsigned char> body;
  const auto readInteger = [&](std::int32_t& value) {
    if (at + 4 > end) return false;
    value = getInteger(bytes, at, swap);
    at += 4;
    return true;
  };
  const auto copy = [&](std::uint64_t length) {
    if (length > end - at) return false;
    body.insert(body.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                bytes.begin() + static_cast<std::ptrdiff_t>(at + length));
    at += length;
    return true;
  };
  while (at < end) {
    std::int32_t nameLength = 0;
    if (!readInteger(nameLength) || nameLength < 0 || static_cast<std::uint64_t>(nameLength) > end - at) {
      return false;
    }
    const std::string shortName(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                bytes.begin() + static_cast<std::ptrdiff_t>(at + nameLength));
    at += static_cast<std::uint64_t>(nameLength);
    const auto variable =
        std::find_if(variables.begin(), variables.end(), [&](const SavDictionaryEditor::Variable& v) {
          return v.shortName == shortName;
        });
    if (variable == variables.end()) return false;
    appendInteger(body, static_cast<std::int32_t>(variable->name.size()), swap);
    body.insert(body.end(), variable->name.begin(), variable->name.end());
    std::int32_t width = 0;
    std::int32_t labelCount = 0;
    if (!readInteger(width) || !readInteger(labelCount) || labelCount < 0) return false;
    // ReadStat gives the width rounded up to whole 8-byte units and pads the
    // values to it; readers expect the variable's own width.
    const std::int32_t ownWidth = variable->width > 0 ? variable->width : width;
    if (ownWidth > width) return false;
    appendInteger(body, ownWidth, swap);
    appendInteger(body, labelCount, swap);
    for (std::int32_t i = 0; i < labelCount * 2; ++i) {  // value, then label
      std::int32_t length = 0;
      if (!readInteger(length) || length < 0) return false;
      if (i % 2 == 0 && length == width) {
        appendInteger(body, ownWidth, swap);
        if (!copy(static_cast<std::uint64_t>(ownWidth))) return false;
        at += static_cast<std::uint64_t>(width - ownWidth);  // blanks
        if (at > end) return false;
        continue;
      }
      appendInteger(body, length, swap);
      if (!copy(static_cast<std::uint64_t>(length))) return false;
    }
  }
  result.clear();
  appendInteger(result, 7, swap);
  appendInteger(result, kSubtypeLongStringValueLabels, swap);
  appendInteger(result, 1, swap);
  appendInteger(result, static_cast<std::int32_t>(body.size()), swap);
  result.insert(result.end(), body.begin(), body.end());
  return true;
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

  // Records to replace, by their place in the original bytes; applied from
  // the last to the first so that earlier offsets stay valid.
  struct Replacement {
    std::uint64_t offset;
    std::uint64_t length;
    std::vector<unsigned char> record;
  };
  std::vector<Replacement> replacements;

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
  const auto existing =
      std::find_if(layout.extensionRecords.begin(), layout.extensionRecords.end(),
                   [](const SavDictionaryLayout::ExtensionRecord& r) {
                     return r.subtype == kSubtypeLongNames;
                   });
  if (existing != layout.extensionRecords.end()) {
    replacements.push_back({existing->offset, existing->length, std::move(record)});
  } else {
    replacements.push_back({layout.terminationOffset, 0, std::move(record)});
  }

  // Labels of long string values name their variable; readers look the name
  // up among the full names.
  for (const SavDictionaryLayout::ExtensionRecord& extension : layout.extensionRecords) {
    if (extension.subtype != kSubtypeLongStringValueLabels) continue;
    std::vector<unsigned char> renamed;
    if (!renameLongStringLabels(bytes, extension, variables, layout.swapBytes, renamed)) return false;
    replacements.push_back({extension.offset, extension.length, std::move(renamed)});
  }

  std::sort(replacements.begin(), replacements.end(),
            [](const Replacement& a, const Replacement& b) { return a.offset > b.offset; });
  for (const Replacement& replacement : replacements) {
    const auto at = edited.begin() + static_cast<std::ptrdiff_t>(replacement.offset);
    edited.erase(at, at + static_cast<std::ptrdiff_t>(replacement.length));
    edited.insert(edited.begin() + static_cast<std::ptrdiff_t>(replacement.offset),
                  replacement.record.begin(), replacement.record.end());
  }
  bytes = std::move(edited);
  return true;
}

}  // namespace korvana::sav
