// What RegisterKorvana and UnregisterKorvana share: the registry names of
// Korvana's menu entry and the search for the installed package versions.
//
// The statistics package lists its installations as product keys under
// HKEY_LOCAL_MACHINE\Software\SPSS, each with one key per version. For every
// version from 11 on, the entry lives under two roots:
//   HKEY_CURRENT_USER\Software\SPSS\<product>\<version>\OtherApps\<application key>
//   HKEY_USERS\.DEFAULT\Software\SPSS\<product>\<version>\OtherApps\<application key>
// with the subkeys ActionID, Launch, Menu and MenuType, each holding its data
// in its default value.
#pragma once

#include <string>
#include <vector>

#include "platform/host/Registry.h"

namespace korvana::menuregistration {

inline constexpr char kApplicationKey[] = "{3B279913-0A9B-4A22-AE2C-6FF99E2AE53E}";
// Read under HKEY_LOCAL_MACHINE, written under HKEY_CURRENT_USER.
inline constexpr char kPackageKey[] = "Software\\SPSS";
// Written under HKEY_USERS: the default user profile.
inline constexpr char kDefaultUserPackageKey[] = ".DEFAULT\\Software\\SPSS";
inline constexpr char kProductKeyPrefix[] = "SPSS for Windows";
inline constexpr char kApplicationsKey[] = "OtherApps";
inline constexpr const char* kEntryKeys[] = {"ActionID", "Launch", "Menu", "MenuType"};
inline constexpr int kLowestPackageVersion = 11;
// Size of the buffers that receive key names, terminating zero included.
inline constexpr host::DWORD kNameBufferLength = 260;

// One installed version: a product key and one of its version keys.
struct PackageVersion {
  std::string product;
  std::string version;
};

// Whether a version key counts: the part of its name before the first "."
// starts with a decimal integer, read as the "%d" conversion of a formatted
// scan reads it, of at least kLowestPackageVersion.
bool isHandledVersion(const char* versionName);

// Every handled version under HKEY_LOCAL_MACHINE\Software\SPSS, product keys
// and their versions in enumeration order. Keys that cannot be read are
// passed over; no package key gives no versions.
std::vector<PackageVersion> findPackageVersions();

// packageKey \ product \ version \ OtherApps
std::string applicationsKeyPath(const char* packageKey, const PackageVersion& version);

// packageKey \ product \ version \ OtherApps \ application key
std::string applicationKeyPath(const char* packageKey, const PackageVersion& version);

}  // namespace korvana::menuregistration
