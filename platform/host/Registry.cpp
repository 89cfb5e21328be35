#include "platform/host/Registry.h"

#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/host/RegistryStore.h"
#include "platform/host/RegistryTree.h"

namespace korvana::host {

namespace {

// What a handle stands for: a key by its path, and the rights it was
// opened with.
struct OpenKey {
  RegistryRoot root = RegistryRoot::localMachine;
  std::vector<std::string> names;
  REGSAM access = 0;
};

constexpr REGSAM kAllAccess = ~REGSAM{0};

std::mutex gMutex;  // guards the handle table and serialises the calls of this process
std::unordered_map<std::uint32_t, OpenKey> gHandles;
std::uint32_t gNextHandle = 1;
thread_local std::string tErrorMessage;

bool resolve(HKEY key, OpenKey& open) {
  if (key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || key == HKEY_USERS) {
    open.root = key == HKEY_LOCAL_MACHINE  ? RegistryRoot::localMachine
                : key == HKEY_CURRENT_USER ? RegistryRoot::currentUser
                                           : RegistryRoot::users;
    open.names.clear();
    open.access = kAllAccess;
    return true;
  }
  const auto it = gHandles.find(static_cast<std::uint32_t>(key));
  if (it == gHandles.end()) return false;
  open = it->second;
  return true;
}

HKEY addHandle(OpenKey open) {
  const std::uint32_t number = gNextHandle++;
  gHandles.emplace(number, std::move(open));
  return HKEY{number};
}

// Keeps the message of a failure of the registry file for RegistryErrorMessage.
LONG noteFileFailure(LONG result, std::string message) {
  if (result == ERROR_BADDB || result == ERROR_REGISTRY_IO_FAILED) tErrorMessage = std::move(message);
  return result;
}

bool splitSubKey(const char* subKey, std::vector<std::string>& names) {
  if (subKey == nullptr || *subKey == '\0') {
    names.clear();
    return true;
  }
  return splitKeyPath(subKey, names, nullptr);
}

// The key below base reached by names, with the stored case of each name
// appended to path; null when one is missing.
RegistryKey* walk(RegistryKey* base, const std::vector<std::string>& names, std::vector<std::string>& path) {
  RegistryKey* key = base;
  for (const std::string& name : names) {
    key = key->findSubkey(name);
    if (key == nullptr) return nullptr;
    path.push_back(key->name);
  }
  return key;
}

// Reads the registry and finds the handle's key in it.
LONG readKey(const OpenKey& open, RegistryTree& tree, RegistryKey*& key) {
  std::string message;
  const LONG result = readRegistry(tree, message);
  if (result != ERROR_SUCCESS) return noteFileFailure(result, std::move(message));
  key = tree.find(open.root, open.names);
  return key != nullptr ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

// Resolves a handle that must grant the `required` rights (none when 0), reads
// the registry and finds the handle's key in it.
LONG readOpenKey(HKEY handle, REGSAM required, OpenKey& open, RegistryTree& tree, RegistryKey*& key) {
  if (!resolve(handle, open)) return ERROR_INVALID_HANDLE;
  if ((open.access & required) != required) return ERROR_ACCESS_DENIED;
  return readKey(open, tree, key);
}

}  // namespace

LONG RegOpenKeyEx(HKEY key, const char* subKey, DWORD options, REGSAM samDesired, HKEY* result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = HKEY{};
  std::vector<std::string> names;
  if (options != 0 || !splitSubKey(subKey, names)) return ERROR_INVALID_PARAMETER;
  std::lock_guard lock(gMutex);
  OpenKey open;
  RegistryTree tree;
  RegistryKey* base = nullptr;
  if (const LONG status = readOpenKey(key, 0, open, tree, base); status != ERROR_SUCCESS) return status;
  if (walk(base, names, open.names) == nullptr) return ERROR_FILE_NOT_FOUND;
  open.access = samDesired;
  *result = addHandle(std::move(open));
  return ERROR_SUCCESS;
}

LONG RegEnumKeyEx(HKEY key, DWORD index, char* name, DWORD* nameLength) {
  if (name == nullptr || nameLength == nullptr) return ERROR_INVALID_PARAMETER;
  std::lock_guard lock(gMutex);
  OpenKey open;
  RegistryTree tree;
  RegistryKey* found = nullptr;
  if (const LONG status = readOpenKey(key, KEY_ENUMERATE_SUB_KEYS, open, tree, found); status != ERROR_SUCCESS)
    return status;
  if (index >= found->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  const std::string& subkeyName = found->subkeys[index]->name;
  if (subkeyName.size() + 1 > *nameLength) return ERROR_MORE_DATA;
  std::memcpy(name, subkeyName.c_str(), subkeyName.size() + 1);
  *nameLength = static_cast<DWORD>(subkeyName.size());
  return ERROR_SUCCESS;
}

LONG RegCreateKeyEx(HKEY key, const char* subKey, REGSAM samDesired, HKEY* result, DWORD* disposition) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = HKEY{};
  std::vector<std::string> names;
  if (subKey == nullptr || !splitSubKey(subKey, names)) return ERROR_INVALID_PARAMETER;
  std::lock_guard lock(gMutex);
  OpenKey open;

  // An existing key is opened without taking the writers' lock.
  RegistryTree tree;
  RegistryKey* base = nullptr;
  if (const LONG status = readOpenKey(key, 0, open, tree, base); status != ERROR_SUCCESS) return status;
  if (open.names.size() + names.size() > kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
  std::vector<std::string> path = open.names;
  bool created = false;
  if (walk(base, names, path) == nullptr) {
    if ((open.access & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
    std::string message;
    const LONG status = changeRegistry(
        [&](RegistryTree& current, bool& changed) {
          RegistryKey* parent = current.find(open.root, open.names);
          if (parent == nullptr) return ERROR_KEY_DELETED;
          path = open.names;
          for (const std::string& name : names) {
            RegistryKey* next = parent->findSubkey(name);
            if (next == nullptr) {
              next = &parent->addSubkey(name);
              changed = created = true;
            }
            path.push_back(next->name);
            parent = next;
          }
          return ERROR_SUCCESS;
        },
        message);
    if (status != ERROR_SUCCESS) return noteFileFailure(status, std::move(message));
  }
  if (disposition != nullptr) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  open.names = std::move(path);
  open.access = samDesired;
  *result = addHandle(std::move(open));
  return ERROR_SUCCESS;
}

LONG RegSetValueEx(HKEY key, const char* valueName, DWORD type, const BYTE* data, DWORD size) {
  if ((valueName != nullptr && *valueName != '\0') || type != REG_SZ || (data == nullptr && size != 0)) {
    return ERROR_INVALID_PARAMETER;
  }
  std::lock_guard lock(gMutex);
  OpenKey open;
  if (!resolve(key, open)) return ERROR_INVALID_HANDLE;
  if ((open.access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
  const std::string value = data != nullptr ? std::string(reinterpret_cast<const char*>(data), size) : std::string();
  std::string message;
  const LONG status = changeRegistry(
      [&](RegistryTree& tree, bool& changed) {
        RegistryKey* found = tree.find(open.root, open.names);
        if (found == nullptr) return ERROR_KEY_DELETED;
        changed = found->defaultValue != value;
        found->defaultValue = value;
        return ERROR_SUCCESS;
      },
      message);
  return noteFileFailure(status, std::move(message));
}

LONG RegQueryValueEx(HKEY key, const char* valueName, DWORD* type, BYTE* data, DWORD* size) {
  if ((valueName != nullptr && *valueName != '\0') || size == nullptr) return ERROR_INVALID_PARAMETER;
  std::lock_guard lock(gMutex);
  OpenKey open;
  RegistryTree tree;
  RegistryKey* found = nullptr;
  if (const LONG status = readOpenKey(key, KEY_QUERY_VALUE, open, tree, found); status != ERROR_SUCCESS) return status;
  if (!found->defaultValue) return ERROR_FILE_NOT_FOUND;
  const std::string& value = *found->defaultValue;
  if (type != nullptr) *type = REG_SZ;
  const DWORD capacity = *size;
  *size = static_cast<DWORD>(value.size());
  if (data == nullptr) return ERROR_SUCCESS;
  if (value.size() > capacity) return ERROR_MORE_DATA;
  std::memcpy(data, value.data(), value.size());
  return ERROR_SUCCESS;
}

LONG RegDeleteKey(HKEY key, const char* subKey) {
  std::vector<std::string> names;
  if (subKey == nullptr || *subKey == '\0' || !splitSubKey(subKey, names)) return ERROR_INVALID_PARAMETER;
  std::lock_guard lock(gMutex);
  OpenKey open;

  // A key that is not there, or has subkeys, is refused without taking the
  // writers' lock; the change below checks again under it.
  RegistryTree tree;
  RegistryKey* base = nullptr;
  if (const LONG status = readOpenKey(key, 0, open, tree, base); status != ERROR_SUCCESS) return status;
  std::vector<std::string> unused;
  const RegistryKey* target = walk(base, names, unused);
  if (target == nullptr) return ERROR_FILE_NOT_FOUND;
  if (!target->subkeys.empty()) return ERROR_ACCESS_DENIED;

  std::string message;
  const LONG status = changeRegistry(
      [&](RegistryTree& current, bool& changed) {
        RegistryKey* parent = current.find(open.root, open.names);
        if (parent == nullptr) return ERROR_KEY_DELETED;
        std::vector<std::string> parentNames(names.begin(), names.end() - 1);
        std::vector<std::string> path;
        parent = walk(parent, parentNames, path);
        if (parent == nullptr) return ERROR_FILE_NOT_FOUND;
        for (std::size_t i = 0; i < parent->subkeys.size(); ++i) {
          if (!equalKeyNames(parent->subkeys[i]->name, names.back())) continue;
          if (!parent->subkeys[i]->subkeys.empty()) return ERROR_ACCESS_DENIED;
          parent->removeSubkey(i);
          changed = true;
          return ERROR_SUCCESS;
        }
        return ERROR_FILE_NOT_FOUND;
      },
      message);
  return noteFileFailure(status, std::move(message));
}

LONG RegCloseKey(HKEY key) {
  if (key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || key == HKEY_USERS) return ERROR_SUCCESS;
  std::lock_guard lock(gMutex);
  return gHandles.erase(static_cast<std::uint32_t>(key)) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

std::string RegistryErrorMessage() { return tErrorMessage; }

std::string RegistryFolder() { return registryFolderPath(); }

}  // namespace korvana::host
