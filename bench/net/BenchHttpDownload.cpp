// Downloads with HttpDownload the way the updater does (one task per file, one after another,
// messages posted to a window that a message loop drains), or with a bare WinINet loop for
// comparison, and prints the time:
//   bench_inetfile [--wininet] <url> <local file>
//   bench_inetfile [--wininet] <url prefix> <local folder> <count>
// The second form fetches <url prefix>fileNNN.dat for NNN = 001..count into the folder.
// Output: "<mode> <files> files <bytes> bytes <seconds> s <MiB/s> MiB/s", or a failure line and
// exit code 1.

#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "net/HttpDownload.h"
#if __has_include("net/InternetSession.h")
#include "net/InternetSession.h"
#define BENCH_SHARED_SESSION 1
#endif

using namespace net;

namespace {

LRESULT CALLBACK Ignore(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(window, message, wParam, lParam);
}

struct Job {
    std::wstring Url;
    std::wstring Path;
};

// One HttpDownload per file, as the updater's session runs them; the bytes fetched, or -1.
double RunHttpDownloads(const std::vector<Job>& jobs, HWND window) {
#ifdef BENCH_SHARED_SESSION
    std::shared_ptr<InternetSession> session = InternetSession::Open();
    SharedThread thread;
#endif
    double bytes = 0;
    for (const Job& job : jobs) {
        HttpDownload task(job.Url, job.Path, window, 2);
#ifdef BENCH_SHARED_SESSION
        task.UseSession(session);
        task.UseThread(&thread);
#endif
        if (!task.Start()) {
            std::fprintf(stderr, "cannot start the download thread\n");
            return -1;
        }
        int code = -1;
        MSG msg;
        while (code < 0 && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == WM_DOWNLOAD_DONE) {
                code = UnpackDone(msg.wParam, msg.lParam).Code;
            }
            ::DispatchMessageW(&msg);
        }
        task.WaitThread();
        if (code != DownloadOk) {
            std::printf("download failed with code %d\n", code);
            return -1;
        }
        bytes += task.Received();
    }
    return bytes;
}

// The platform's HTTP client alone: a fresh session per file and 64 KiB reads.
double RunBareWinInet(const std::vector<Job>& jobs) {
    std::vector<char> buffer(64 * 1024);
    double bytes = 0;
    for (const Job& job : jobs) {
        HINTERNET session =
            ::InternetOpenW(L"bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        HINTERNET request =
            ::InternetOpenUrlW(session, job.Url.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0);
        HANDLE file = ::CreateFileW(job.Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (request == nullptr || file == INVALID_HANDLE_VALUE) {
            std::printf("wininet failed on %ls\n", job.Url.c_str());
            return -1;
        }
        DWORD count = 0;
        while (
            ::InternetReadFile(request, buffer.data(), static_cast<DWORD>(buffer.size()), &count) &&
            count > 0) {
            DWORD written = 0;
            ::WriteFile(file, buffer.data(), count, &written, nullptr);
            bytes += count;
        }
        ::CloseHandle(file);
        ::InternetCloseHandle(request);
        ::InternetCloseHandle(session);
    }
    return bytes;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    int first = 1;
    const bool bare = argc > 1 && std::wcscmp(argv[1], L"--wininet") == 0;
    if (bare) {
        ++first;
    }
    const int left = argc - first;
    if (left != 2 && left != 3) {
        std::fprintf(stderr, "usage: bench_inetfile [--wininet] <url> <local> [count]\n");
        return 2;
    }
    std::vector<Job> jobs;
    if (left == 2) {
        jobs.push_back({argv[first], argv[first + 1]});
    } else {
        const int count = _wtoi(argv[first + 2]);
        for (int i = 1; i <= count; ++i) {
            wchar_t name[32];
            std::swprintf(name, 32, L"file%03d.dat", i);
            jobs.push_back(
                {std::wstring(argv[first]) + name, std::wstring(argv[first + 1]) + L"\\" + name});
        }
    }

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &Ignore;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"BenchInetFile";
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                    nullptr, windowClass.hInstance, nullptr);

    const auto started = std::chrono::steady_clock::now();
    const double bytes = bare ? RunBareWinInet(jobs) : RunHttpDownloads(jobs, window);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ::DestroyWindow(window);
    if (bytes < 0) {
        return 1;
    }
    std::printf("%s %zu files %.0f bytes %.3f s %.2f MiB/s\n", bare ? "wininet" : "inetfile",
                jobs.size(), bytes, seconds, bytes / seconds / (1024.0 * 1024.0));
    return 0;
}
