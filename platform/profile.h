// Private-profile (.ini) files read and written as Windows does, on code page 932 bytes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/staged_view.h"

namespace pelmo {

// GetPrivateProfileString over the bytes of a file (nullopt: the file is missing).
// The result holds at most size - 1 bytes, never splitting a double-byte character;
// size 0 gives "".
std::string LookupProfileString(const std::optional<std::string_view>& fileBytes, std::string_view section,
                                std::string_view key, std::string_view defaultValue, std::size_t size);

// WritePrivateProfileString as an in-place edit of the file's bytes (nullopt: the
// file is missing). Returns the new bytes, or nullopt when the file stays as it is
// (the value is already stored).
std::optional<std::string> EditProfileString(const std::optional<std::string_view>& fileBytes, std::string_view section,
                                             std::string_view key, std::string_view value);

// Blanks (space, tab) trimmed from both ends, as every name and value is stored.
std::string_view TrimBlanks(std::string_view text);
// Whether a section, key and value (trimmed) read back as themselves once
// written: no line breaks, a section name without ']', a key that forms a key
// line of that very name.
bool IsStorable(std::string_view section, std::string_view key, std::string_view value);
// Whether they can be written into a file of these bytes: a UTF-8 file takes
// only what converts.
bool FitsEncoding(std::string_view fileBytes, std::string_view section, std::string_view key, std::string_view value);

// The same on a file named by a Windows-form path; a bare file name lies in the
// Windows folder.
std::string GetPrivateProfileString(const FileView& files, std::string_view file, std::string_view section,
                                    std::string_view key, std::string_view defaultValue, std::size_t size);
// True when the file holds the value afterwards. On any failure the old file stays
// byte-identical. A read-only file (no write permission bits) is never written.
bool WritePrivateProfileString(StagedView& files, std::string_view file, std::string_view section, std::string_view key,
                               std::string_view value);

}  // namespace pelmo
