#include "app/CommandLine.h"

namespace app {

std::wstring_view ArgumentText(std::wstring_view commandLine) {
    size_t i = 0;
    if (i < commandLine.size() && commandLine[i] == L'"') {
        ++i;
        while (i < commandLine.size() && commandLine[i] != L'"') {
            ++i;
        }
        if (i < commandLine.size()) {
            ++i; // the closing quote
        }
    } else {
        while (i < commandLine.size() && commandLine[i] > L' ') {
            ++i;
        }
    }
    while (i < commandLine.size() && commandLine[i] <= L' ') {
        ++i;
    }
    return commandLine.substr(i);
}

bool ServerListAddressFromArguments(std::wstring_view arguments, std::wstring& address) {
    size_t space = arguments.find(L' ');
    if (space == std::wstring_view::npos || space == 0) {
        return false;
    }
    address.assign(arguments.substr(0, space));
    return true;
}

} // namespace app
