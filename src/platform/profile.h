#pragma once
#include <string>

// The INI profile functions. Windows: GetPrivateProfileStringA and
// WritePrivateProfileStringA. POSIX: our own with the same semantics
// (names compared ignoring case, values replaced in place, missing keys and
// sections appended, every other line kept byte for byte, the file created
// by the first write; a write goes through a temporary file and a rename).

// The value of key in section, or def when absent; at most 2047 characters.
std::string ProfileReadString(const std::string& section, const std::string& key,
                              const std::string& def, const std::string& path);

// Writes key=value into section; false when the file cannot be written.
bool ProfileWriteString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path);

// Flushes cached writes for the path (the call with section, key and value absent).
void ProfileFlush(const std::string& path);

// Files larger than this are not taken for a settings file: reads give the
// default and writes are refused (a write rewrites the whole file).
inline constexpr long long kProfileMaxFileBytes = 16LL * 1024 * 1024;

// Test hook of the POSIX writer, called at two points of every write: after
// part of the new text has gone into the temporary file, and after the
// temporary file is complete and synced but before it replaces the old one.
// Returning false makes that step fail as a refused system call would.
enum class ProfileWriteStep { Writing, BeforeRename };
using ProfileWriteHook = bool (*)(ProfileWriteStep step);
// Installs the hook for the whole process; nullptr removes it.
void SetProfileWriteHook(ProfileWriteHook hook);
