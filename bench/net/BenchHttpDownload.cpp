// Downloads one address with HttpDownload the way the updater does (messages posted to a window
// that a message loop drains) and prints the throughput:
//   bench_inetfile <url> <local file>
// Output: "inetfile <bytes> bytes <seconds> s <MiB/s> MiB/s", or a failure line and exit code 1.

#include <windows.h>

#include <chrono>
#include <cstdio>

#include "net/HttpDownload.h"

using namespace net;

namespace {

LRESULT CALLBACK Ignore(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_inetfile <url> <local file>\n");
        return 2;
    }
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &Ignore;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"BenchInetFile";
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                    nullptr, windowClass.hInstance, nullptr);

    HttpDownload task(argv[1], argv[2], window, 1);

    const auto started = std::chrono::steady_clock::now();
    if (!task.Start()) {
        std::fprintf(stderr, "cannot start the download thread\n");
        return 1;
    }
    int code = -1;
    MSG msg;
    while (code < 0 && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_DOWNLOAD_DONE) {
            code = UnpackDone(msg.wParam, msg.lParam).Code;
        }
        ::DispatchMessageW(&msg);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    task.WaitThread();
    ::DestroyWindow(window);
    if (code != DownloadOk) {
        std::printf("inetfile failed with code %d\n", code);
        return 1;
    }
    const double bytes = static_cast<double>(task.Received());
    std::printf("inetfile %.0f bytes %.3f s %.2f MiB/s\n", bytes, seconds,
                bytes / seconds / (1024.0 * 1024.0));
    return 0;
}
