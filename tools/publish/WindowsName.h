#pragma once
// Names that a release folder may hold but the updater cannot install under that name: Windows
// would refuse or alter them, or the updater's XML reader would not give them back exactly.

#include <string>
#include <string_view>

namespace publish {

// Why the file or folder name (one level) cannot be published; empty when it can.
std::string WindowsNameProblem(std::string_view name);

// The key under which Windows would consider two relative paths the same: every letter folded
// to upper case the way NTFS does (one UTF-16 unit at a time, by the simple Unicode mapping),
// so that Ä and ä, Σ, σ and ς, full-width Ａ and ａ all meet.
std::string WindowsPathKey(std::string_view relativePath);

} // namespace publish
