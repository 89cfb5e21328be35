// The registry folder on disk: reading registry.txt, and changing it under
// the writers' lock with an atomic replacement (see Storage in Registry.h).
#pragma once

#include <functional>
#include <string>

#include "platform/host/Registry.h"
#include "platform/host/RegistryTree.h"

namespace korvana::host {

// The folder the registry lives in, or an empty string when none is known.
std::string registryFolderPath();

// Reads the registry as it is on disk into tree. On failure gives
// ERROR_BADDB or ERROR_REGISTRY_IO_FAILED and a message naming the file.
LONG readRegistry(RegistryTree& tree, std::string& message);

// A change to the registry: returns ERROR_SUCCESS or the call's error, and
// sets changed when it altered the tree.
using RegistryChange = std::function<LONG(RegistryTree& tree, bool& changed)>;

// Holding the writers' lock, reads the registry, applies change and, when
// change succeeded and altered the tree, replaces registry.txt with the new
// tree. Gives change's result, or ERROR_BADDB / ERROR_REGISTRY_IO_FAILED and a
// message when the file cannot be read or written (registry.txt is then as
// it was).
LONG changeRegistry(const RegistryChange& change, std::string& message);

}  // namespace korvana::host
