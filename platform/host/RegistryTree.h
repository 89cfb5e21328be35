// The registry's keys in memory and their text form (the format is described
// in Registry.h).
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvana::host {

struct RegistryKey {
  std::string name;
  std::optional<std::string> defaultValue;  // REG_SZ data, byte for byte
  std::vector<std::unique_ptr<RegistryKey>> subkeys;  // in creation order

  // The subkey of that name (ASCII letter case ignored), or null.
  RegistryKey* findSubkey(std::string_view subkeyName) const;
  // Appends a new subkey; the name must not be taken.
  RegistryKey& addSubkey(std::string_view subkeyName);
  // Removes the subkey at that position.
  void removeSubkey(std::size_t position);
};

// The roots, in the order their names are listed in kRootNames.
enum class RegistryRoot { localMachine = 0, currentUser = 1, users = 2 };
inline constexpr std::size_t kRootCount = 3;
inline constexpr std::string_view kRootNames[kRootCount] = {
    "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_USERS"};

struct RegistryTree {
  RegistryKey roots[kRootCount];

  RegistryTree();
  RegistryKey& root(RegistryRoot which) { return roots[static_cast<std::size_t>(which)]; }
  // The key at names below that root, or null.
  RegistryKey* find(RegistryRoot which, std::span<const std::string> names);
};

inline constexpr std::size_t kMaxKeyNameLength = 255;
// How deep keys may nest below their root, as on Windows, and how large a
// registry file may grow: a damaged or hostile file beyond either is refused
// instead of exhausting the memory or the stack of the program reading it.
inline constexpr std::size_t kMaxKeyDepth = 512;
inline constexpr std::size_t kMaxRegistryFileBytes = 64u << 20;
inline constexpr std::string_view kRegistryFileFirstLine = "Korvana registry, format 1";

bool equalKeyNames(std::string_view a, std::string_view b);

// Why name cannot be a key name, or an empty string when it can.
std::string keyNameProblem(std::string_view name);

// Splits a backslash-separated path into names. Returns false, with a reason
// in *problem, when a name is empty or invalid.
bool splitKeyPath(std::string_view path, std::vector<std::string>& names, std::string* problem);

// Reads the text of a registry file. Throws EKorvanaError naming fileName,
// the line and the problem when the text does not follow the format.
RegistryTree parseRegistryText(std::string_view text, const std::string& fileName);

// The text of a registry file holding tree.
std::string formatRegistryText(const RegistryTree& tree);

}  // namespace korvana::host
