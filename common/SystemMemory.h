// How much memory the process may still take: what the system reports as
// available (MemAvailable), lowered by the process's own limits on its address
// space and data segment where those are set.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace korvana {

/// Bytes the process can still allocate; nothing when the system does not
/// tell.
std::optional<std::uint64_t> availableMemoryBytes();

/// "1.5 GB", "320 MB", "12 KB": a byte count in words for messages.
std::string memoryText(std::uint64_t bytes);

}  // namespace korvana
