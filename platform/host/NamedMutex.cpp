#include "platform/host/NamedMutex.h"

#include <fcntl.h>
#include <semaphore.h>
#include <sys/stat.h>

#include <algorithm>

namespace korvana::host {

std::string namedMutexSystemName(const std::string& name) {
  std::string systemName = "/" + name;
  std::replace(systemName.begin() + 1, systemName.end(), '/', '\\');
  return systemName;
}

bool createNamedMutex(const std::string& name) {
  // The handle is deliberately kept: the mutex is a sign of life for as long
  // as the process runs, and the system closes it at exit.
  sem_t* handle = ::sem_open(namedMutexSystemName(name).c_str(), O_CREAT, 0666, 1U);
  return handle != SEM_FAILED;
}

}  // namespace korvana::host
