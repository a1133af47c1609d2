#pragma once
// Names that a release folder on Linux may hold but the updater's Windows cannot: the updater
// would fail to create the file, or write it somewhere else than the manifest says.

#include <string>
#include <string_view>

namespace publish {

// Why the file or folder name (valid UTF-8, one level) cannot be used on Windows; empty when it
// can.
std::string WindowsNameProblem(std::string_view name);

// The key under which Windows would consider two relative paths the same file. Only ASCII
// letters are folded: Windows folds more, so some clashes of other scripts go unnoticed.
std::string WindowsPathKey(std::string_view relativePath);

} // namespace publish
