// Whether a program's window keeps answering while it works: starts the program, then asks its
// top-level window every 10 ms for an empty message (WM_NULL) and measures the longest stretch
// between two answers. The updater's window repaints from a 100 ms timer of the same message
// loop, so a window that answers within 200 ms paints at least five times a second.
//   bench_window_watch <program> [arguments...]
// Output: "watch <seconds> s <answers> answers longest <ms> ms", or a failure line and exit 1.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

namespace {

struct Search {
    DWORD Process = 0;
    HWND Found = nullptr;
};

BOOL CALLBACK FindWindowOf(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process == search->Process && ::IsWindowVisible(window)) {
        search->Found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_window_watch <program> [arguments...]\n");
        return 2;
    }
    std::wstring commandLine;
    for (int i = 1; i < argc; ++i) {
        commandLine += (i > 1 ? L" \"" : L"\"") + std::wstring(argv[i]) + L"\"";
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
        std::fprintf(stderr, "cannot start %ls (%lu)\n", argv[1], ::GetLastError());
        return 1;
    }
    using Clock = std::chrono::steady_clock;
    const auto started = Clock::now();
    Search search{process.dwProcessId, nullptr};
    auto lastAnswer = Clock::now();
    double longest = 0;
    unsigned answers = 0;
    while (::WaitForSingleObject(process.hProcess, 10) == WAIT_TIMEOUT) {
        if (!search.Found || !::IsWindow(search.Found)) {
            search.Found = nullptr;
            ::EnumWindows(&FindWindowOf, reinterpret_cast<LPARAM>(&search));
            lastAnswer = Clock::now(); // the stretch counts from the window's appearance
            continue;
        }
        DWORD_PTR ignored = 0;
        if (::SendMessageTimeoutW(search.Found, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored)) {
            const auto now = Clock::now();
            longest = std::max(longest,
                               std::chrono::duration<double, std::milli>(now - lastAnswer).count());
            lastAnswer = now;
            ++answers;
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    std::printf("watch %.3f s %u answers longest %.0f ms\n", seconds, answers, longest);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return 0;
}
