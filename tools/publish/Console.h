#pragma once
// Messages to the terminal. The tool's text is UTF-8; a Windows console is written in UTF-16 so
// that Chinese file names read right whatever its code page.

#include <string_view>

namespace publish {

void WriteOut(std::string_view utf8);
void WriteError(std::string_view utf8);

} // namespace publish
