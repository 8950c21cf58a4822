#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The INI text itself, independent of files: finding a value and producing
// the text with one value set. The POSIX profile functions read and write
// files around these; keeping them apart lets the grammar be tested and
// fuzzed without a disk.
//
// Reading of the format:
// - lines end in "\n"; a "\r" before it belongs to the line ending, and
//   nowhere else does a "\r" end a line (not even at the end of the text);
// - blanks (space, tab, and any other "\r") around section names, keys and
//   values are ignored;
// - a line whose first non-blank is ";" is a comment;
// - "[name]" begins a section (a missing "]" takes the rest of the line);
// - "key=value" is an entry (the first "=" splits); other lines are ignored;
// - names compare ignoring ASCII letter case; of repeated sections or keys
//   the first one counts, for reading and for writing alike;
// - a value is taken as it stands (quotes are not removed) and ends at a NUL
//   byte, as a C string would.

// Longest value a read gives (the 2048-byte buffer less its terminator).
inline constexpr std::size_t kProfileMaxValue = 2047;

// The value of key in section, nullopt when the key is absent. Not cut to
// kProfileMaxValue: the caller does that together with the default.
std::optional<std::string> ProfileFindValue(std::string_view text, std::string_view section,
                                            std::string_view key);

// True when the names and value can be written without changing the
// structure of the file: no CR, LF or NUL anywhere, a non-empty key without
// "=" and not starting with "[" or ";", a non-empty section without "]".
bool ProfileEntryWritable(std::string_view section, std::string_view key, std::string_view value);

// text with key=value set in section: the value of an existing key replaced
// in place, a missing key appended after the last entry of its section, a
// missing section appended at the end. Every other byte stays as it was.
// New lines end like the file's first line ("\r\n" or "\n"; "\n" when none).
// The value is written without blanks around it, as a read would give it.
std::string ProfileSetValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value);
