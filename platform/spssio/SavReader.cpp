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
#include <cstring>
#include <fcntl.h>
#include <map>
#include <new>
#include <system_error>
#include <sys/stat.h>
#include <unistd.h>

namespace korvana::sav {

// The bytes ReadStat reads: the open descriptor, shown up to visibleSize.
struct SavReader::ParserInput {
  int fd = -1;
  std::uint64_t visibleSize = 0;
  std::uint64_t position = 0;
};

namespace {

constexpr double kSystemMissing = -DBL_MAX;
// The bytes of cases the window holds when cases stream.
constexpr std::uint64_t kWindowBytes = 4u << 20;

using ParserInput = SavReader::ParserInput;

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
  bool streaming = false;       // cases pass through a window (else all are kept)
  bool dictionaryOnly = false;  // the cases are decoded without the parser
  std::uint64_t completeCases = 0;
  std::uint64_t admittedCase = UINT64_MAX;  // the case whose values arrive now
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
    std::uint64_t bytesPerCase = 0;
    for (const int width : widths) bytesPerCase += width == 0 ? 8u : static_cast<std::uint64_t>(width);
    reader->cases_ = std::make_unique<SavCaseStore>(std::move(widths));
    if (streaming) {
      // Cases stream through a ring of whole cases; two at least, the one
      // being read and the one being parsed.
      const std::uint64_t fit = kWindowBytes / std::max<std::uint64_t>(bytesPerCase, 1);
      reader->window_ = std::clamp<std::uint64_t>(fit, 2, std::max<std::uint64_t>(
                                                              static_cast<std::uint64_t>(caseLimit), 2));
      for (std::uint64_t i = 0; i < reader->window_; ++i) reader->cases_->appendBlankCase();
    }
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
    if (index != admittedCase) {
      if (!reader->admitCase(index)) return READSTAT_HANDLER_ABORT;
      admittedCase = index;
    }
    const std::uint64_t row = reader->slotOf(index);
    const auto slot = static_cast<std::size_t>(position);
    if (reader->variables_[slot].width == 0) {
      // The raw double: ReadStat also flags the highest and lowest values as
      // missing, but they are values; only NaN (system-missing) is not.
      double number = readstat_value_type(value) == READSTAT_TYPE_DOUBLE
                          ? value.v.double_value
                          : readstat_double_value(value);
      if (std::isnan(number)) number = kSystemMissing;
      store.setNumeric(row, slot, number);
    } else {
      store.setString(row, slot, SavText::view(readstat_string_value(value)));
    }
    if (slot + 1 == reader->variables_.size()) {
      completeCases = index + 1;
      reader->publishCase(index);
    }
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

int SavReader::open(const char* path, std::unique_ptr<SavReader>& result, bool decodeDirectly) {
  if (path == nullptr || path[0] == '\0') return SAV_FILE_OPEN_ERROR;
  std::unique_ptr<SavReader> reader(new SavReader());
  // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
  reader->fd_ = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (reader->fd_ < 0) return errno == ENOMEM ? SAV_NO_MEMORY : SAV_FILE_OPEN_ERROR;
  struct stat info {};
  if (::fstat(reader->fd_, &info) != 0 || !S_ISREG(info.st_mode)) return SAV_FILE_OPEN_ERROR;

  const SavByteSource source(reader->fd_, static_cast<std::uint64_t>(info.st_size));
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
  reader->headerCaseCount_ = headerCount;
  reader->caseLimit_ = caseLimit;
  reader->brokenAfterLimit_ = brokenAfter;
  reader->path_ = path;
  reader->input_ = std::make_unique<ParserInput>(ParserInput{reader->fd_, extent.visibleSize, 0});
  reader->parseState_ = std::make_unique<ParseState>();
  reader->parseState_->reader = reader.get();
  reader->parseState_->caseLimit = caseLimit;
  std::optional<SavCaseDecoder::Plan> plan;
  if (decodeDirectly && extent.measured) plan = SavCaseDecoder::planFor(source, layout, extent.visibleSize);
  reader->parseState_->dictionaryOnly = plan.has_value();
  // Without a count in the header the file is parsed whole first.
  reader->parseState_->streaming = headerCount >= 0 && !plan;

  try {
    reader->parser_ = std::thread([r = reader.get()] { r->parse(); });
  } catch (const std::system_error&) {
    return SAV_NO_MEMORY;
  }

  std::unique_lock lock(reader->mutex_);
  reader->changed_.wait(lock, [&] {
    return reader->parseFinished_ || (reader->dictionaryReady_ && reader->window_ != 0);
  });
  const ParseState& state = *reader->parseState_;
  if (state.outOfMemory && !reader->dictionaryReady_) return SAV_NO_MEMORY;
  // Only this library's own allocations give SAV_NO_MEMORY. Whatever else
  // stops ReadStat is damage: the walk found every dictionary record inside
  // the file, so a dictionary ReadStat cannot take is damaged inside a record,
  // even when ReadStat reports a failed allocation (it sizes some buffers from
  // fields inside records, and from the block sizes of zlib-compressed data,
  // so a damaged length asks for gigabytes). In the data it ends the cases
  // that can be read.
  if (!state.dictionaryDone() || !reader->cases_) return SAV_FILE_READ_ERROR;

  // The dictionary is complete before the first case arrives: the parser no
  // longer touches the label sets.
  reader->labelSetOfVariable_.assign(reader->variables_.size(), -1);
  for (std::size_t i = 0; i < reader->variables_.size(); ++i) {
    if (reader->variables_[i].width == 0 || state.labelSetNames[i].empty()) continue;
    const auto found = state.labelSets.find(state.labelSetNames[i]);
    if (found == state.labelSets.end() || found->second.empty()) continue;
    reader->labelSetOfVariable_[i] = static_cast<int>(reader->labelSets_.size());
    reader->labelSets_.push_back(found->second);
  }
  // Names are looked up once per variable: a matrix file has as many
  // variables as objects, so the lookup must not scan them.
  reader->positionByUpperName_.reserve(reader->variables_.size());
  for (std::size_t i = 0; i < reader->variables_.size(); ++i)
    reader->positionByUpperName_.emplace(SavText::upperCase(reader->variables_[i].name), i);
  std::vector<int> widths;
  widths.reserve(reader->variables_.size());
  for (const Variable& variable : reader->variables_) widths.push_back(variable.width);
  reader->record_.emplace(widths);
  if (plan) {
    // Each variable's record slot must be its elements in the file; where
    // ReadStat saw the variables otherwise, the parser reads the cases.
    if (reader->record_->size() != plan->elements * 8 || !reader->parseFinished_) {
      lock.unlock();
      reader.reset();
      return open(path, result, false);
    }
    reader->caseCount_ = static_cast<std::uint64_t>(std::max<std::int64_t>(caseLimit, 0));
    reader->brokenAfterCases_ = brokenAfter;
    reader->decoded_.assign(reader->record_->size(), ' ');
    reader->decoder_.emplace(reader->fd_, std::move(*plan));
  }
  lock.unlock();
  result = std::move(reader);
  return SAV_OK;
}

SavReader::~SavReader() {
  if (parser_.joinable()) {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    parser_.join();
  }
  if (fd_ >= 0) ::close(fd_);
}

void SavReader::parse() {
  std::unique_ptr<readstat_parser_t, ParserDeleter> parser(readstat_parser_init());
  readstat_error_t error = READSTAT_ERROR_MALLOC;
  if (parser) {
    readstat_set_open_handler(parser.get(), inputOpen);
    readstat_set_close_handler(parser.get(), inputClose);
    readstat_set_seek_handler(parser.get(), inputSeek);
    readstat_set_read_handler(parser.get(), inputRead);
    readstat_set_update_handler(parser.get(), inputUpdate);
    readstat_set_io_ctx(parser.get(), input_.get());
    readstat_set_metadata_handler(parser.get(), onMetadata);
    readstat_set_variable_handler(parser.get(), onVariable);
    readstat_set_value_label_handler(parser.get(), onValueLabel);
    if (!parseState_->dictionaryOnly) {
      readstat_set_value_handler(parser.get(), onValue);
      if (caseLimit_ > 0) readstat_set_row_limit(parser.get(), static_cast<long>(caseLimit_));
    }
    error = readstat_parse_sav(parser.get(), path_.c_str(), parseState_.get());
  } else {
    parseState_->outOfMemory = true;
  }

  const std::lock_guard lock(mutex_);
  // If fewer cases arrived than were expected, the file cannot be read
  // beyond them.
  bool brokenAfter = brokenAfterLimit_;
  if (caseLimit_ >= 0) {
    if (parseState_->completeCases < static_cast<std::uint64_t>(caseLimit_)) brokenAfter = true;
  } else if (error != READSTAT_OK) {
    brokenAfter = true;
  }
  caseCount_ = parseState_->completeCases;
  brokenAfterCases_ = brokenAfter;
  parseFinished_ = true;
  changed_.notify_all();
}

bool SavReader::admitCase(std::uint64_t index) {
  std::unique_lock lock(mutex_);
  if (!dictionaryReady_) {
    dictionaryReady_ = true;
    changed_.notify_all();
  }
  if (stopping_) return false;
  if (window_ == 0) {
    while (cases_->caseCount() <= index) cases_->appendBlankCase();
    return true;
  }
  changed_.wait(lock, [&] { return stopping_ || index < firstNeededCase() + window_; });
  if (stopping_) return false;
  cases_->clearCase(slotOf(index));
  return true;
}

void SavReader::publishCase(std::uint64_t index) {
  if (window_ == 0) return;  // read only once the parse is over
  {
    const std::lock_guard lock(mutex_);
    caseCount_ = index + 1;
  }
  changed_.notify_all();
}

std::optional<std::size_t> SavReader::findVariable(std::string_view name) const {
  const auto found = positionByUpperName_.find(SavText::upperCase(name));
  if (found == positionByUpperName_.end()) return std::nullopt;
  return found->second;
}

std::int64_t SavReader::reportedCaseCount() const {
  return headerCaseCount_ >= 0 ? headerCaseCount_ : static_cast<std::int64_t>(caseCount_);
}

int SavReader::readNextCase() {
  std::unique_lock lock(mutex_);
  switch (state_) {
    case CursorState::AtEnd: return SAV_END_OF_CASES;
    case CursorState::Broken: return SAV_FILE_READ_ERROR;
    case CursorState::BeforeFirst:
    case CursorState::OnCase: break;
  }
  if (decoder_) {
    const std::uint64_t next = state_ == CursorState::BeforeFirst ? 0 : current_ + 1;
    if (next < caseCount_ && decoder_->next(decoded_.data())) {
      current_ = next;
      state_ = CursorState::OnCase;
      return SAV_OK;
    }
    const bool broken = next < caseCount_ || brokenAfterCases_;
    state_ = broken ? CursorState::Broken : CursorState::AtEnd;
    return broken ? SAV_FILE_READ_ERROR : SAV_END_OF_CASES;
  }
  const std::uint64_t next = state_ == CursorState::BeforeFirst ? 0 : current_ + 1;
  changed_.wait(lock, [&] { return parseFinished_ || next < caseCount_; });
  if (next < caseCount_) {
    current_ = next;
    state_ = CursorState::OnCase;
    lock.unlock();
    changed_.notify_all();  // the slot of the previous case is free
    return SAV_OK;
  }
  state_ = brokenAfterCases_ ? CursorState::Broken : CursorState::AtEnd;
  return brokenAfterCases_ ? SAV_FILE_READ_ERROR : SAV_END_OF_CASES;
}

double SavReader::numericValue(std::size_t variable) const {
  if (decoder_) return record_->numeric(decoded_.data(), variable);
  return cases_->numeric(slotOf(current_), variable);
}

std::string_view SavReader::stringValue(std::size_t variable) const {
  if (decoder_) {
    const std::string_view slot(decoded_.data() + record_->offset(variable),
                                SavCaseRecord::slotBytes(record_->width(variable)));
    return SavCaseDecoder::stringValue(slot, record_->width(variable));
  }
  return cases_->string(slotOf(current_), variable);
}

void SavReader::wholeCase(char* record) const {
  // Decoded cases are records already, each string its value and blanks.
  if (decoder_) {
    std::memcpy(record, decoded_.data(), decoded_.size());
  } else {
    for (std::size_t i = 0; i < variables_.size(); ++i) {
      if (variables_[i].width != 0) continue;
      const double value = numericValue(i);
      std::memcpy(record + record_->offset(i), &value, sizeof value);
    }
  }
  for (std::size_t i = 0; i < variables_.size(); ++i) {
    if (variables_[i].width == 0) continue;
    char* slot = record + record_->offset(i);
    const std::size_t bytes = SavCaseRecord::slotBytes(variables_[i].width);
    const std::string_view value = stringValue(i).substr(0, static_cast<std::size_t>(variables_[i].width));
    std::memmove(slot, value.data(), value.size());
    std::memset(slot + value.size(), ' ', bytes - value.size());
  }
}

const std::vector<SavReader::ValueLabel>* SavReader::valueLabels(std::size_t variable) const {
  const int set = labelSetOfVariable_[variable];
  return set < 0 ? nullptr : &labelSets_[static_cast<std::size_t>(set)];
}

}  // namespace korvana::sav
