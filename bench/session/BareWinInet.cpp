// The platform alone, as the yardstick of whole update runs: fetches each address listed in a
// file with WinINet (a fresh session per file, 64 KiB reads) into a folder, one after another,
// and prints the time the loop took (without the process's start):
//   bench_bare_wininet <list of addresses> <folder>
// Output: "wininet <files> files <bytes> bytes <seconds> s", or a failure line and exit code 1.

#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr DWORD kReadSize = 64 * 1024;

struct InternetCloser {
    void operator()(HINTERNET handle) const { ::InternetCloseHandle(handle); }
};

bool Fetch(const std::wstring& url, const std::wstring& target, unsigned long long& bytes,
           std::vector<char>& buffer) {
    HINTERNET session =
        ::InternetOpenW(L"bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!session) {
        return false;
    }
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    wchar_t host[256] = {}, path[2048] = {};
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 2048;
    bool ok = false;
    if (::InternetCrackUrlW(url.c_str(), 0, 0, &parts)) {
        HINTERNET connection = ::InternetConnectW(session, host, parts.nPort, nullptr, nullptr,
                                                  INTERNET_SERVICE_HTTP, 0, 0);
        HINTERNET request = connection
                                ? ::HttpOpenRequestW(connection, L"GET", path, nullptr, nullptr,
                                                     nullptr, INTERNET_FLAG_RELOAD, 0)
                                : nullptr;
        if (request && ::HttpSendRequestW(request, nullptr, 0, nullptr, 0)) {
            HANDLE file = ::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
            ok = file != INVALID_HANDLE_VALUE;
            DWORD count = 0;
            while (ok && ::InternetReadFile(request, buffer.data(), kReadSize, &count) &&
                   count > 0) {
                DWORD written = 0;
                ok = ::WriteFile(file, buffer.data(), count, &written, nullptr) && written == count;
                bytes += count;
            }
            if (file != INVALID_HANDLE_VALUE) {
                ::CloseHandle(file);
            }
        }
        if (request) {
            ::InternetCloseHandle(request);
        }
        if (connection) {
            ::InternetCloseHandle(connection);
        }
    }
    ::InternetCloseHandle(session);
    return ok;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_bare_wininet <list of addresses> <folder>\n");
        return 2;
    }
    std::vector<std::wstring> urls;
    std::ifstream list(argv[1]);
    for (std::string line; std::getline(list, line);) {
        if (!line.empty()) {
            urls.emplace_back(line.begin(), line.end()); // the addresses are ASCII
        }
    }
    std::vector<char> buffer(kReadSize);
    unsigned long long bytes = 0;
    const auto started = std::chrono::steady_clock::now();
    for (size_t i = 0; i < urls.size(); ++i) {
        const std::wstring target = std::wstring(argv[2]) + L"\\" + std::to_wstring(i) + L".dat";
        if (!Fetch(urls[i], target, bytes, buffer)) {
            std::fprintf(stderr, "wininet failed on %ls (%lu)\n", urls[i].c_str(),
                         ::GetLastError());
            return 1;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("wininet %zu files %llu bytes %.4f s\n", urls.size(), bytes, seconds);
    return 0;
}
