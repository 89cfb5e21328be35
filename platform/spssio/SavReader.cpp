#include "platform/spssio/SavReader.h"

#include "platform/spssio/SavByteSource.h"
#include "platform/spssio/SavDataExtent.h"
#include "platform/spssio/SavDataFileLibrary.h"
#include "platform/spssio/SavDictionaryLayout.h"
#include "platform/spssio/SavText.h"
#include "platform/spssio/SavVariableHandle.h"

#include <readstat.h>

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace korvana::sav {

namespace {

constexpr double kSystemMissing = -DBL_MAX;

// Closes a file descriptor when it goes out of scope.
class DescriptorGuard {
 public:
  explicit DescriptorGuard(int fd) : fd_(fd) {}
  ~DescriptorGuard() {
    if (fd_ >= 0) ::close(fd_);
  }
  DescriptorGuard(const DescriptorGuard&) = delete;
  DescriptorGuard& operator=(const DescriptorGuard&) = delete;

 private:
  int fd_;
};

// The bytes ReadStat reads: the open descriptor, shown up to visibleSize.
struct ParserInput {
  int fd = -1;
  std::uint64_t visibleSize = 0;
  std::uint64_t position = 0;
};

int inputOpen(const char* /*path*/, void* /*ioContext*/) { return 0; }

int inputClose(void* /*ioContext*/) { return 0; }

readstat_off_t inputSeek(readstat_off_t offset, readstat_io_flags_t whence, void* ioContext) {
  auto* input = static_cast<ParserInput*>(ioContext);
  std::int64_t base = 0;
  if (whence == READSTAT_SEEK_CUR) base = static_cast<std::int64_t>(input->position);
  if (whence == READSTAT_SEEK_END) base = static_cast<std::int64_t>(input->visibleSize);
  const std::int64_t target = base + static_cast<std::int64_t>(offset);
  if (target < 0 || static_cast<std::uint64_t>(target) > input->visibleSize) return -1;
  input->position = static_cast<std::uint64_t>(target);
  return static_cast<readstat_off_t>(target);
}

ssize_t inputRead(void* buffer, size_t length, void* ioContext) {
  auto* input = static_cast<ParserInput*>(ioContext);
  const std::uint64_t left = input->visibleSize - input->position;
  const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(length, left));
  auto* out = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < wanted) {
    const ssize_t got = ::pread(input->fd, out + done, wanted - done,
                                static_cast<off_t>(input->position + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  input->position += done;
  return static_cast<ssize_t>(done);
}

readstat_error_t inputUpdate(long /*fileSize*/, readstat_progress_handler /*progress*/,
                             void* /*userContext*/, void* /*ioContext*/) {
  return READSTAT_OK;
}

// The width of a string variable: from its format ("A12" is 12), since the
// storage width is rounded up to whole 8-byte units; never above the storage.
int stringWidth(const readstat_variable_t* variable) {
  const auto storage = static_cast<long>(readstat_variable_get_storage_width(variable));
  const char* format = readstat_variable_get_format(variable);
  long width = 0;
  if (format != nullptr && format[0] == 'A' && format[1] >= '0' && format[1] <= '9') {
    width = std::strtol(format + 1, nullptr, 10);
  }
  if (width <= 0 || (storage > 0 && width > storage)) width = storage;
  return static_cast<int>(std::clamp<long>(width, 1, 32767));
}

}  // namespace

// The state of one parse, handed to ReadStat's callbacks as their context.
// Value labels arrive first, keyed by the name of their label set; each
// variable then names its set, and the sets are matched to the variables
// once the parse is over.
struct SavReader::ParseState {
  SavReader* reader = nullptr;
  std::map<std::string, std::vector<ValueLabel>> labelSets;
  std::vector<std::string> labelSetNames;  // per variable, empty when none
  std::int64_t metadataVariableCount = -1;
  std::int64_t caseLimit = -1;  // cases to take, -1: all there are
  std::uint64_t completeCases = 0;
  bool outOfMemory = false;

  bool dictionaryDone() const {
    return metadataVariableCount >= 0 &&
           reader->variables_.size() == static_cast<std::uint64_t>(metadataVariableCount);
  }

  // The case store is made once all variables are known.
  void makeStoreWhenDictionaryDone() {
    if (reader->cases_ || !dictionaryDone()) return;
    std::vector<int> widths;
    widths.reserve(reader->variables_.size());
    for (const Variable& variable : reader->variables_) widths.push_back(variable.width);
    reader->cases_ = std::make_unique<SavCaseStore>(std::move(widths));
  }

  int onMetadata(readstat_metadata_t* metadata) {
    metadataVariableCount = readstat_get_var_count(metadata);
    reader->fileLabel_ = SavText::view(readstat_get_file_label(metadata));
    makeStoreWhenDictionaryDone();
    return READSTAT_HANDLER_OK;
  }

  int onValueLabel(const char* setName, readstat_value_t value, const char* label) {
    // Numeric value labels are skipped: no call returns them.
    if (readstat_value_type(value) != READSTAT_TYPE_STRING || setName == nullptr) {
      return READSTAT_HANDLER_OK;
    }
    const std::string_view text = SavText::view(readstat_string_value(value));
    labelSets[setName].push_back(
        {std::string(SavText::trimTrailingBlanks(text)), std::string(SavText::view(label))});
    return READSTAT_HANDLER_OK;
  }

  int onVariable(int index, readstat_variable_t* variable, const char* setName) {
    auto& variables = reader->variables_;
    if (index < 0 || static_cast<std::size_t>(index) != variables.size() ||
        variables.size() >= SavVariableHandle::kMaxVariables) {
      return READSTAT_HANDLER_ABORT;
    }
    Variable entry;
    entry.name = SavText::view(readstat_variable_get_name(variable));
    entry.width = readstat_variable_get_type_class(variable) == READSTAT_TYPE_CLASS_STRING
                      ? stringWidth(variable)
                      : 0;
    variables.push_back(std::move(entry));
    labelSetNames.emplace_back(SavText::view(setName));
    makeStoreWhenDictionaryDone();
    return READSTAT_HANDLER_OK;
  }

  int onValue(int caseIndex, readstat_variable_t* variable, readstat_value_t value) {
    const int position = readstat_variable_get_index(variable);
    if (!reader->cases_ || caseIndex < 0 || position < 0 ||
        static_cast<std::size_t>(position) >= reader->variables_.size()) {
      return READSTAT_HANDLER_ABORT;
    }
    const auto index = static_cast<std::uint64_t>(caseIndex);
    if (caseLimit >= 0 && index >= static_cast<std::uint64_t>(caseLimit)) {
      return READSTAT_HANDLER_ABORT;  // the cases after the limit are cut or not counted
    }
    SavCaseStore& store = *reader->cases_;
    while (store.caseCount() <= index) store.appendBlankCase();
    const auto slot = static_cast<std::size_t>(position);
    if (reader->variables_[slot].width == 0) {
      // The raw double: ReadStat also flags the highest and lowest values as
      // missing, but they are values; only NaN (system-missing) is not.
      double number = readstat_value_type(value) == READSTAT_TYPE_DOUBLE
                          ? value.v.double_value
                          : readstat_double_value(value);
      if (std::isnan(number)) number = kSystemMissing;
      store.setNumeric(index, slot, number);
    } else {
      store.setString(index, slot, SavText::view(readstat_string_value(value)));
    }
    if (slot + 1 == reader->variables_.size()) completeCases = index + 1;
    return READSTAT_HANDLER_OK;
  }
};

namespace {

using ParseState = SavReader::ParseState;

// ReadStat's callbacks: no exception may cross into C.
template <typename Call>
int guarded(void* context, Call call) {
  auto* state = static_cast<ParseState*>(context);
  try {
    return call(*state);
  } catch (const std::bad_alloc&) {
    state->outOfMemory = true;
  } catch (...) {
  }
  return READSTAT_HANDLER_ABORT;
}

int onMetadata(readstat_metadata_t* metadata, void* context) {
  return guarded(context, [&](ParseState& state) { return state.onMetadata(metadata); });
}

int onValueLabel(const char* setName, readstat_value_t value, const char* label, void* context) {
  return guarded(context,
                 [&](ParseState& state) { return state.onValueLabel(setName, value, label); });
}

int onVariable(int index, readstat_variable_t* variable, const char* setName, void* context) {
  return guarded(context,
                 [&](ParseState& state) { return state.onVariable(index, variable, setName); });
}

int onValue(int caseIndex, readstat_variable_t* variable, readstat_value_t value, void* context) {
  return guarded(context,
                 [&](ParseState& state) { return state.onValue(caseIndex, variable, value); });
}

int statusOfLayout(SavDictionaryLayout::Status status) {
  switch (status) {
    case SavDictionaryLayout::Status::Complete: return SAV_OK;
    case SavDictionaryLayout::Status::NotDataFile: return SAV_INVALID_FILE;
    case SavDictionaryLayout::Status::HeaderCut: return SAV_FILE_READ_ERROR;
    case SavDictionaryLayout::Status::NoVariableRecords: return SAV_NO_TYPE2_RECORD;
    case SavDictionaryLayout::Status::NoTermination: return SAV_NO_TYPE999_RECORD;
    case SavDictionaryLayout::Status::ReadFailed: return SAV_FILE_READ_ERROR;
  }
  return SAV_INTERNAL_ERROR;
}

// Frees a ReadStat parser when it goes out of scope.
struct ParserDeleter {
  void operator()(readstat_parser_t* parser) const { readstat_parser_free(parser); }
};

}  // namespace

int SavReader::open(const char* path, std::unique_ptr<SavReader>& result) {
  if (path == nullptr || path[0] == '\0') return SAV_FILE_OPEN_ERROR;
  // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno == ENOMEM ? SAV_NO_MEMORY : SAV_FILE_OPEN_ERROR;
  const DescriptorGuard guard(fd);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return SAV_FILE_OPEN_ERROR;

  const SavByteSource source(fd, static_cast<std::uint64_t>(info.st_size));
  const SavDictionaryLayout layout = SavDictionaryLayout::walk(source);
  if (const int status = statusOfLayout(layout.status); status != SAV_OK) return status;
  const bool knownCompression =
      layout.zlibFile ? layout.compression == SavDictionaryLayout::kCompressionZlib
                      : (layout.compression == SavDictionaryLayout::kCompressionNone ||
                         layout.compression == SavDictionaryLayout::kCompressionBytecode);
  if (!knownCompression) return SAV_FILE_READ_ERROR;
  if (layout.variableCount > SavVariableHandle::kMaxVariables) return SAV_NO_MEMORY;

  const std::int64_t headerCount = layout.headerCaseCount >= 0 ? layout.headerCaseCount : -1;
  const SavDataExtent extent = SavDataExtent::measure(source, layout, headerCount);
  if (source.failed()) return SAV_FILE_READ_ERROR;

  // The cases to take from the parser, and whether a broken case follows them.
  std::int64_t caseLimit = headerCount;
  bool brokenAfter = false;
  if (extent.measured) {
    const auto available = static_cast<std::int64_t>(
        std::min<std::uint64_t>(extent.completeCases, INT32_MAX));
    if (headerCount < 0 || available < headerCount) {
      caseLimit = available;
      brokenAfter = extent.cutInsideCase;
    }
  }

  std::unique_ptr<SavReader> reader(new SavReader());
  reader->headerCaseCount_ = headerCount;
  ParseState state;
  state.reader = reader.get();
  state.caseLimit = caseLimit;

  std::unique_ptr<readstat_parser_t, ParserDeleter> parser(readstat_parser_init());
  if (!parser) return SAV_NO_MEMORY;
  ParserInput input{fd, extent.visibleSize, 0};
  readstat_set_open_handler(parser.get(), inputOpen);
  readstat_set_close_handler(parser.get(), inputClose);
  readstat_set_seek_handler(parser.get(), inputSeek);
  readstat_set_read_handler(parser.get(), inputRead);
  readstat_set_update_handler(parser.get(), inputUpdate);
  readstat_set_io_ctx(parser.get(), &input);
  readstat_set_metadata_handler(parser.get(), onMetadata);
  readstat_set_variable_handler(parser.get(), onVariable);
  readstat_set_value_label_handler(parser.get(), onValueLabel);
  readstat_set_value_handler(parser.get(), onValue);
  if (caseLimit > 0) readstat_set_row_limit(parser.get(), static_cast<long>(caseLimit));

  const readstat_error_t error = readstat_parse_sav(parser.get(), path, &state);
  if (state.outOfMemory) return SAV_NO_MEMORY;
  // Only this library's own allocations give SAV_NO_MEMORY. Whatever else
  // stops ReadStat is damage: the walk found every dictionary record inside
  // the file, so a dictionary ReadStat cannot take is damaged inside a record,
  // even when ReadStat reports a failed allocation (it sizes some buffers from
  // fields inside records, and from the block sizes of zlib-compressed data,
  // so a damaged length asks for gigabytes). In the data it ends the cases
  // that can be read.
  if (!state.dictionaryDone() || !reader->cases_) return SAV_FILE_READ_ERROR;

  // The data: the complete cases are kept; if fewer arrived than were
  // expected, the file cannot be read beyond them.
  if (caseLimit >= 0) {
    if (state.completeCases < static_cast<std::uint64_t>(caseLimit)) brokenAfter = true;
  } else if (error != READSTAT_OK) {
    brokenAfter = true;
  }
  reader->caseCount_ = state.completeCases;
  reader->brokenAfterCases_ = brokenAfter;

  reader->labelSetOfVariable_.assign(reader->variables_.size(), -1);
  for (std::size_t i = 0; i < reader->variables_.size(); ++i) {
    if (reader->variables_[i].width == 0 || state.labelSetNames[i].empty()) continue;
    const auto found = state.labelSets.find(state.labelSetNames[i]);
    if (found == state.labelSets.end() || found->second.empty()) continue;
    reader->labelSetOfVariable_[i] = static_cast<int>(reader->labelSets_.size());
    reader->labelSets_.push_back(found->second);
  }
  result = std::move(reader);
  return SAV_OK;
}

std::optional<std::size_t> SavReader::findVariable(std::string_view name) const {
  for (std::size_t i = 0; i < variables_.size(); ++i) {
    if (SavText::equalsIgnoreCase(variables_[i].name, name)) return i;
  }
  return std::nullopt;
}

std::int64_t SavReader::reportedCaseCount() const {
  return headerCaseCount_ >= 0 ? headerCaseCount_ : static_cast<std::int64_t>(caseCount_);
}

int SavReader::readNextCase() {
  switch (state_) {
    case CursorState::AtEnd: return SAV_END_OF_CASES;
    case CursorState::Broken: return SAV_FILE_READ_ERROR;
    case CursorState::BeforeFirst:
    case CursorState::OnCase: break;
  }
  const std::uint64_t next = state_ == CursorState::BeforeFirst ? 0 : current_ + 1;
  if (next < caseCount_) {
    current_ = next;
    state_ = CursorState::OnCase;
    return SAV_OK;
  }
  state_ = brokenAfterCases_ ? CursorState::Broken : CursorState::AtEnd;
  return brokenAfterCases_ ? SAV_FILE_READ_ERROR : SAV_END_OF_CASES;
}

double SavReader::numericValue(std::size_t variable) const {
  return cases_->numeric(current_, variable);
}

std::string_view SavReader::stringValue(std::size_t variable) const {
  return cases_->string(current_, variable);
}

const std::vector<SavReader::ValueLabel>* SavReader::valueLabels(std::size_t variable) const {
  const int set = labelSetOfVariable_[variable];
  return set < 0 ? nullptr : &labelSets_[static_cast<std::size_t>(set)];
}

}  // namespace korvana::sav
