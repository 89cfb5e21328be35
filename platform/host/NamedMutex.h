// Named mutexes of the host system, as signals that the program is running.
// On this host a named mutex is a POSIX named semaphore ("/" followed by the
// name), open to every user (mode 0666, as far as the umask allows); it is
// never waited on, and the handle stays open until the process ends.
#pragma once

#include <string>

namespace korvana::host {

/// Creates (or opens, when another process made it) the named mutex, not
/// owned. Returns false when the system refuses; callers may ignore it.
bool createNamedMutex(const std::string& name);

/// The system's name for a named mutex: "/" followed by the name, every "/"
/// in it replaced by "\" (a system name holds no further "/").
std::string namedMutexSystemName(const std::string& name);

}  // namespace korvana::host
