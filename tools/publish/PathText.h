#pragma once
// Paths as UTF-8 text. The tool works in UTF-8 throughout; the file system does not: Linux names
// are arbitrary bytes, Windows names are UTF-16 that need not be well formed.

#include <filesystem>
#include <optional>
#include <string>

namespace publish {

std::filesystem::path PathFromUtf8(const std::string& utf8);

// The path's text as UTF-8; nothing when the name's bytes (Linux) or units (Windows) are not
// valid text.
std::optional<std::string> PathToUtf8(const std::filesystem::path& path);

// The path for a message: its UTF-8 text with control characters escaped, or the bytes
// escaped when it has none.
std::string DisplayPath(const std::filesystem::path& path);

} // namespace publish
