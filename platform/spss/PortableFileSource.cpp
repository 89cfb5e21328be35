#include "platform/spss/PortableFileSource.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <iterator>

#include "common/EKorvanaError.h"

namespace korvana::spss {

namespace {

// The layout as ReadStat reads it: lines of 80 characters (a shorter line is
// padded with blanks), five 40-character vanity strings, then the table.
constexpr std::size_t kLineLength = 80;
constexpr std::size_t kTableStart = 200;
constexpr std::size_t kTableSize = 256;
constexpr std::size_t kFirstPrintable = 64;

PortableFileSource& sourceOf(void* context) { return *static_cast<PortableFileSource*>(context); }

}  // namespace

PortableFileSource::PortableFileSource(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw EKorvanaError("The data file " + path + " could not be read: " + std::strerror(errno));
  bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  mendCharacterTable();
}

void PortableFileSource::mendCharacterTable() {
  // Where each table position lies in the file; none where it falls in a
  // line's padding.
  std::array<std::optional<std::size_t>, kTableSize> at{};
  std::size_t logical = 0, column = 0;
  for (std::size_t i = 0; i < bytes_.size() && logical < kTableStart + kTableSize; ++i) {
    const char c = bytes_[i];
    if (c == '\r') continue;
    if (c == '\n') {
      logical += kLineLength - std::min(column, kLineLength);
      column = 0;
      continue;
    }
    if (logical >= kTableStart) at[logical - kTableStart] = i;
    ++logical;
    ++column;
  }
  std::array<bool, 256> seen{};
  for (std::size_t position = 0; position < kTableSize; ++position) {
    if (!at[position]) continue;
    char& byte = bytes_[*at[position]];
    const auto value = static_cast<unsigned char>(byte);
    if (position < kFirstPrintable || seen[value]) byte = '\0';
    else seen[value] = true;
  }
}

void PortableFileSource::attachTo(readstat_parser_t* parser) {
  readstat_set_open_handler(parser, [](const char*, void* context) {
    sourceOf(context).position_ = 0;
    return 0;
  });
  readstat_set_close_handler(parser, [](void*) { return 0; });
  readstat_set_seek_handler(parser, [](readstat_off_t offset, readstat_io_flags_t whence, void* context) {
    PortableFileSource& source = sourceOf(context);
    const auto size = static_cast<readstat_off_t>(source.bytes_.size());
    const readstat_off_t base = whence == READSTAT_SEEK_SET   ? 0
                                : whence == READSTAT_SEEK_CUR ? static_cast<readstat_off_t>(source.position_)
                                                              : size;
    const readstat_off_t target = base + offset;
    if (target < 0 || target > size) return static_cast<readstat_off_t>(-1);
    source.position_ = static_cast<std::size_t>(target);
    return target;
  });
  readstat_set_read_handler(parser, [](void* buffer, size_t count, void* context) {
    PortableFileSource& source = sourceOf(context);
    const std::size_t taken = std::min(count, source.bytes_.size() - source.position_);
    std::memcpy(buffer, source.bytes_.data() + source.position_, taken);
    source.position_ += taken;
    return static_cast<ssize_t>(taken);
  });
  readstat_set_update_handler(parser, [](long, readstat_progress_handler, void*, void*) { return READSTAT_OK; });
  readstat_set_io_ctx(parser, this);
}

}  // namespace korvana::spss
