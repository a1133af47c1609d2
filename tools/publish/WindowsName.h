#pragma once
// Names that a release folder may hold but the updater cannot install under that name: Windows
// would refuse or alter them, or the updater's XML reader would not give them back exactly.

#include <string>
#include <string_view>

namespace publish {

// Why the file or folder name (one level) cannot be published; empty when it can.
std::string WindowsNameProblem(std::string_view name);

// The key under which Windows would consider two relative paths the same file. Only ASCII
// letters are folded: Windows folds more, so some clashes of other scripts go unnoticed.
std::string WindowsPathKey(std::string_view relativePath);

} // namespace publish
