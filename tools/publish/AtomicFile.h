#pragma once
// Writing a file that a web server may be serving at the same moment: the new content goes to a
// temporary file beside it and then replaces the old one in one step, so a client downloads
// either the old manifest or the new one, never half of one.

#include <filesystem>
#include <string>
#include <string_view>

namespace publish {

// The temporary file is the target's name followed by this and a number.
inline constexpr const char* kTemporarySuffix = ".tmp";

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::string& error);

} // namespace publish
