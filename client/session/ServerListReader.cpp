#include "session/ServerListReader.h"

#include "platform/UniqueHandle.h"
#include "platform/WideString.h"

namespace session {

namespace {

// The list is GBK text whatever the code page of the machine that runs the updater.
constexpr UINT kServerListCodePage = 936;

// Server lists are a few lines; anything this large is not one and is refused unread.
constexpr DWORD kMaxServerListBytes = 16 * 1024 * 1024;

void ParseLine(std::string_view bytes, UINT codePage, std::vector<ServerListLine>& servers) {
    std::wstring line = TrimW(MultiByteToWide(bytes, codePage));
    size_t bar = line.find(L'|');
    if (bar == std::wstring::npos || bar == 0) {
        return;
    }
    ServerListLine server{TrimW(std::wstring_view(line).substr(0, bar)),
                          TrimW(std::wstring_view(line).substr(bar + 1))};
    if (!server.Name.empty() && !server.Address.empty()) {
        servers.push_back(std::move(server));
    }
}

} // namespace

std::vector<ServerListLine> ParseServerList(std::string_view text, UINT codePage) {
    std::vector<ServerListLine> servers;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        ParseLine(text.substr(start, end - start), codePage, servers);
        start = end + 1;
    }
    return servers;
}

bool ReadServerListFile(const std::wstring& path, std::vector<ServerListLine>& servers) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxServerListBytes) {
        return false;
    }
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
         read != bytes.size())) {
        return false;
    }
    servers = ParseServerList(bytes, kServerListCodePage);
    return true;
}

} // namespace session
