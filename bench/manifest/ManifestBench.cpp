// Time of LoadManifest followed by KeepOutdated for a manifest of many entries whose local files
// all exist and are current, so that every entry is probed (version resource and all) and dropped.
// Usage: manifest_bench [entries] [rounds]

#include "manifest/UpdatePlan.h"
#include "platform/ComPtr.h"
#include "platform/WideString.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

using namespace manifest;

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

bool WriteText(const std::wstring& path, const std::string& text) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    BOOL ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == text.size();
}

// Local copies and the manifest, beside the program; copies already there are reused.
bool Prepare(const std::wstring& programFolder, int entries, std::wstring& manifestPath) {
    const std::wstring data = programFolder + L"\\benchdata";
    ::CreateDirectoryW(data.c_str(), nullptr);
    const std::wstring source = programFolder + L"\\bench_versioned.dll";
    std::string manifest = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<UpdateList>\n";
    for (int i = 0; i < entries; ++i) {
        std::wstring name = FormatW(L"f%05d.dll", i);
        std::wstring local = data + L"\\" + name;
        if (::GetFileAttributesW(local.c_str()) == INVALID_FILE_ATTRIBUTES &&
            !::CopyFileW(source.c_str(), local.c_str(), FALSE)) {
            std::fwprintf(stderr, L"cannot copy to %ls\n", local.c_str());
            return false;
        }
        manifest += "<File><FileName>" + WideToUtf8(name) +
                    "</FileName><FileVersion>1.2.3.4</FileVersion><Length>9986</Length>"
                    "<LocalPath>benchdata</LocalPath><URL>http://127.0.0.1:18080/files/" +
                    WideToUtf8(name) + "</URL><Register>NO</Register></File>\n";
    }
    manifest += "</UpdateList>\n";
    manifestPath = data + L"\\manifest.xml";
    return WriteText(manifestPath, manifest);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const int entries = argc > 1 ? std::max(1, _wtoi(argv[1])) : 10000;
    const int rounds = argc > 2 ? std::max(1, _wtoi(argv[2])) : 1;
    ComInit com;
    if (FAILED(com.result())) {
        return 1;
    }

    const BaseFolders folders = ThisMachinesFolders();
    std::wstring manifestPath;
    if (!Prepare(folders.Program, entries, manifestPath)) {
        return 1;
    }

    std::vector<double> loads, keeps, totals;
    for (int round = 0; round < rounds; ++round) {
        LARGE_INTEGER start, loaded, kept;
        ::QueryPerformanceCounter(&start);
        std::optional<std::deque<FileEntry>> files = LoadManifest(manifestPath, folders);
        ::QueryPerformanceCounter(&loaded);
        const bool ok = files.has_value();
        unsigned outdated = ok ? KeepOutdated(*files) : 0;
        ::QueryPerformanceCounter(&kept);
        if (!ok || outdated != 0) {
            std::fwprintf(stderr, L"unexpected result: loaded %d, out of date %u\n", ok, outdated);
            return 1;
        }
        loads.push_back(Seconds(start, loaded));
        keeps.push_back(Seconds(loaded, kept));
        totals.push_back(Seconds(start, kept));
    }
    auto best = [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); };
    const double perEntry = 1e6 / entries;
    std::wprintf(L"entries %d, rounds %d (best round)\n", entries, rounds);
    std::wprintf(L"LoadManifest   %8.3f s  %7.1f us/entry\n", best(loads), best(loads) * perEntry);
    std::wprintf(L"KeepOutdated   %8.3f s  %7.1f us/entry\n", best(keeps), best(keeps) * perEntry);
    std::wprintf(L"both           %8.3f s  %7.1f us/entry\n", best(totals),
                 best(totals) * perEntry);
    return 0;
}
