#pragma once
// The updater's command line: "<server-list address> <mode word>", separated by one space.

#include <string>
#include <string_view>

namespace app {

// The argument text of a full command line: the program's own name and the blanks after it
// removed, the way the C runtime's start-up hands it to WinMain (a quoted name is skipped up to
// its closing quote; blanks are all characters up to and including U+0020).
std::wstring_view ArgumentText(std::wstring_view commandLine);

// The server-list address in an argument text: the text before its first U+0020, provided that
// space is not the first character. Quotes stay part of the address, a tab does not separate,
// and a single word gives nothing (the caller keeps its default). The mode word after the space
// is neither trimmed nor examined.
bool ServerListAddressFromArguments(std::wstring_view arguments, std::wstring& address);

} // namespace app
