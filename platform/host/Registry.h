// The registry calls of the Windows platform, kept in a text file on this one.
//
// The functions carry the names, arguments and return codes of the Windows
// registry calls that Korvana's tools make, reduced to what they pass: the
// reserved, class, security and last-write-time parameters, which the callers
// always leave zero or null, are left out. Every function returns
// ERROR_SUCCESS (0) or a Windows error number.
//
// Keys
//   Three roots exist, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER and HKEY_USERS,
//   each a predefined handle that is always open with every access right.
//   Below them keys form a tree. A key name is 1 to 255 bytes, printable, with
//   no backslash; a path joins names with single backslashes. Names compare
//   without regard to ASCII letter case and keep the case they were created
//   with. Subkeys are enumerated in the order they were created.
//   Each key can hold one value, its default (unnamed) value, of type REG_SZ;
//   its data are stored byte for byte with the length the caller gives, so a
//   terminating zero is part of the data when the caller counts it.
//
// Handles and access rights
//   RegOpenKeyEx and RegCreateKeyEx return a handle with the rights asked for.
//   Enumerating needs KEY_ENUMERATE_SUB_KEYS (part of KEY_READ), reading the
//   value KEY_QUERY_VALUE (part of KEY_READ), setting it KEY_SET_VALUE (part
//   of KEY_WRITE), creating a subkey through a handle KEY_CREATE_SUB_KEY (part
//   of KEY_WRITE); a missing right gives ERROR_ACCESS_DENIED. Deleting a
//   subkey needs no right on the handle, as on Windows. A handle names its
//   key by path: once the key is deleted, calls on it give ERROR_KEY_DELETED,
//   and if a key of the same name is created again the handle reaches it.
//
// Storage
//   The registry lives in one folder:
//     - $KORVANA_REGISTRY_DIR when that is set and not empty;
//     - otherwise $XDG_DATA_HOME/korvana/registry when XDG_DATA_HOME is an
//       absolute path;
//     - otherwise ~/.local/share/korvana/registry (the home folder from
//       $HOME, else from the password database).
//   The folder is looked up at every call. It holds "registry.txt", the keys
//   and values in the text format below, and "registry.lock", an empty file
//   that writers lock. A folder or file that does not exist is an empty
//   registry; the first change creates both.
//
//   Every call reads registry.txt afresh, so a change made by another
//   process is seen by the next call. Every change is written at once: under
//   an exclusive lock (flock) on registry.lock the file is read, changed, and
//   written to a temporary file of a unique name in the same folder, flushed
//   to disk with fsync and renamed over registry.txt (common/AtomicFile.h).
//   Two processes changing the registry at once therefore never lose each
//   other's changes, and a reader sees either the old file or the new one,
//   never a part. When the write fails, registry.txt is left as it was and
//   the call gives ERROR_REGISTRY_IO_FAILED. A new registry.txt is readable
//   by its owner only.
//
//   A registry.txt that does not follow the format makes every call that
//   reads it give ERROR_BADDB and is never overwritten.
//   RegistryErrorMessage() then names the file, the line and the problem.
//
// Text format of registry.txt (UTF-8 by convention, lines end in LF; a CR
// before the LF is ignored):
//
//     Korvana registry, format 1
//     ; comment
//     [HKEY_CURRENT_USER\Software\SPSS\SPSS for Windows\12.0]
//     [HKEY_CURRENT_USER\Software\SPSS\SPSS for Windows\12.0\OtherApps]
//     [HKEY_CURRENT_USER\...\{3B279913-0A9B-4A22-AE2C-6FF99E2AE53E}\Menu]
//     @ = REG_SZ "Analyze>Classify>&Korvana...\0"
//
//   - The first line is exactly "Korvana registry, format 1".
//   - Empty lines, lines of blanks and lines whose first non-blank character
//     is ';' are ignored. Blanks (spaces, tabs) around a line are ignored.
//   - "[" root "\" name "\" ... "]" names a key: the root is
//     HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER or HKEY_USERS (any letter case),
//     alone or followed by the key's path. The path is everything up to the
//     last "]" of the line, so names may contain "[" and "]". Keys missing on
//     the path are created; the key is created if it does not exist yet.
//     Keys are created in the order the file names them, which is the order
//     they enumerate in.
//   - "@ = REG_SZ" followed by a quoted string sets the default value of the
//     key named last. Inside the quotes, \\ is a backslash, \" a quotation
//     mark, \0 a zero byte and \xHH the byte with hexadecimal code HH; every
//     other byte from space upwards stands for itself (except DEL, 0x7F,
//     which is written \x7F). A key's value may be given only once.
//   The writer puts the first line, a comment, and then every key in the
//   tree's order (a key before its subkeys, subkeys in creation order), each
//   followed by its value line if it has one. Comments of a hand-edited file
//   are not kept when the file is written again.
#pragma once

#include <cstdint>
#include <string>

namespace korvana::host {

using LONG = std::int32_t;
using DWORD = std::uint32_t;
using REGSAM = DWORD;
using BYTE = unsigned char;

// A key handle. The zero value is no handle.
enum class HKEY : std::uint32_t {};

inline constexpr HKEY HKEY_CURRENT_USER{0x80000001u};
inline constexpr HKEY HKEY_LOCAL_MACHINE{0x80000002u};
inline constexpr HKEY HKEY_USERS{0x80000003u};

// Return codes.
inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr LONG ERROR_NO_MORE_ITEMS = 259;
inline constexpr LONG ERROR_BADDB = 1009;               // registry.txt unreadable as a registry
inline constexpr LONG ERROR_REGISTRY_IO_FAILED = 1016;  // registry.txt or its folder not readable or writable
inline constexpr LONG ERROR_KEY_DELETED = 1018;

// Access rights.
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM READ_CONTROL = 0x00020000;
inline constexpr REGSAM KEY_READ = READ_CONTROL | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY;
inline constexpr REGSAM KEY_WRITE = READ_CONTROL | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

// Value type: a zero-terminated string.
inline constexpr DWORD REG_SZ = 1;

// Dispositions reported by RegCreateKeyEx.
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// The length of a file name buffer, its terminating zero included.
inline constexpr DWORD MAX_PATH = 260;

// Opens the key subKey below key (key itself when subKey is null or empty)
// with the rights samDesired and stores its handle in *result.
// ERROR_FILE_NOT_FOUND when a key on the path does not exist.
// options must be 0.
LONG RegOpenKeyEx(HKEY key, const char* subKey, DWORD options, REGSAM samDesired, HKEY* result);

// The name of subkey number index of key (from 0, in creation order).
// *nameLength is the size of name in bytes, room for the terminating zero
// included; on success the name and a terminating zero are stored and
// *nameLength becomes the name's length without the zero.
// ERROR_MORE_DATA when the name and its zero do not fit (nothing is stored,
// *nameLength is left as it was); ERROR_NO_MORE_ITEMS when index is past the
// last subkey.
LONG RegEnumKeyEx(HKEY key, DWORD index, char* name, DWORD* nameLength);

// Opens subKey below key, creating it and every missing key on its path, and
// stores its handle, with the rights samDesired, in *result. *disposition,
// when given, becomes REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY.
// Creating needs KEY_CREATE_SUB_KEY on key; ERROR_INVALID_PARAMETER for a
// name that is empty, longer than 255 bytes or holds a control character.
LONG RegCreateKeyEx(HKEY key, const char* subKey, REGSAM samDesired, HKEY* result,
                    DWORD* disposition = nullptr);

// Sets the default value of key (valueName null or empty; a named value gives
// ERROR_INVALID_PARAMETER) to the size bytes at data, of type REG_SZ (any
// other type gives ERROR_INVALID_PARAMETER).
LONG RegSetValueEx(HKEY key, const char* valueName, DWORD type, const BYTE* data, DWORD size);

// Reads the default value of key (valueName null or empty). *type, when
// given, becomes its type. *size is the size of data in bytes; it becomes
// the value's length. With data null only the length is stored.
// ERROR_MORE_DATA when data is too small (the length is still stored);
// ERROR_FILE_NOT_FOUND when the key has no value.
LONG RegQueryValueEx(HKEY key, const char* valueName, DWORD* type, BYTE* data, DWORD* size);

// Deletes the key subKey below key. ERROR_ACCESS_DENIED when it has
// subkeys, ERROR_FILE_NOT_FOUND when it does not exist,
// ERROR_INVALID_PARAMETER when subKey is null or empty.
LONG RegDeleteKey(HKEY key, const char* subKey);

// Closes a handle. Closing a root is allowed and does nothing.
LONG RegCloseKey(HKEY key);

// The message of the last call on this thread that gave ERROR_BADDB or
// ERROR_REGISTRY_IO_FAILED, naming the file or folder and the problem
// (a corrupt file also by line); empty when no call has failed so.
std::string RegistryErrorMessage();

// The folder the registry lives in now (see Storage), or an empty string
// when no home folder can be found.
std::string RegistryFolder();

}  // namespace korvana::host
