#pragma once
// The server-list file: GBK text, one "name|address" line per server.

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace session {

struct ServerListLine {
    std::wstring Name;
    std::wstring Address;
};

// The servers of a server-list text in `codePage`. A line ends at LF (a CR before it, as in
// CR LF files, is part of the white space trimmed off). Each line is trimmed and split at its
// first "|"; further "|" stay part of the address. Lines without "|", with "|" first, or with an
// empty name or address after trimming are skipped. Lines of any length are kept whole.
std::vector<ServerListLine> ParseServerList(std::string_view text, UINT codePage);

// Reads and parses the file at `path` as GBK text. False when the file cannot be read.
bool ReadServerListFile(const std::wstring& path, std::vector<ServerListLine>& servers);

} // namespace session
