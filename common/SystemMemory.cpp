#include "common/SystemMemory.h"

#include <sys/resource.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace korvana {

namespace {

/// A "Name:   1234 kB" line of a /proc file, in bytes.
std::optional<std::uint64_t> procValue(const char* file, const std::string& name) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, name.size(), name) != 0 || line.size() <= name.size() || line[name.size()] != ':') continue;
    unsigned long long kilobytes = 0;
    if (std::sscanf(line.c_str() + name.size() + 1, "%llu", &kilobytes) != 1) return std::nullopt;
    return static_cast<std::uint64_t>(kilobytes) * 1024u;
  }
  return std::nullopt;
}

/// What a limit leaves above what is in use; nothing when it is not set.
std::optional<std::uint64_t> headroom(int resource, std::optional<std::uint64_t> inUse) {
  rlimit limit{};
  if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
  const auto cap = static_cast<std::uint64_t>(limit.rlim_cur);
  const std::uint64_t used = inUse.value_or(0);
  return cap > used ? cap - used : 0;
}

}  // namespace

std::optional<std::uint64_t> availableMemoryBytes() {
  std::optional<std::uint64_t> available = procValue("/proc/meminfo", "MemAvailable");
  const auto lower = [&](std::optional<std::uint64_t> bound) {
    if (bound && (!available || *bound < *available)) available = bound;
  };
  lower(headroom(RLIMIT_AS, procValue("/proc/self/status", "VmSize")));
  lower(headroom(RLIMIT_DATA, procValue("/proc/self/status", "VmData")));
  return available;
}

std::string memoryText(std::uint64_t bytes) {
  const char* units[] = {"bytes", "KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes);
  int unit = 0;
  while (value >= 1024.0 && unit < 4) {
    value /= 1024.0;
    ++unit;
  }
  char text[32];
  if (unit == 0) std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
  else std::snprintf(text, sizeof text, value < 10 ? "%.1f %s" : "%.0f %s", value, units[unit]);
  return text;
}

}  // namespace korvana
