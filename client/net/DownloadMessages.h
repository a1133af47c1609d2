#pragma once
// The two messages a download posts to its window. wParam: the task's kind in the high word,
// the chunk size (progress) or the result code (done) in the low word; lParam: the task.

#include <windows.h>

#include <cstdint>

constexpr UINT WM_DOWNLOAD_PROGRESS = WM_USER + 100; // 0x0464
constexpr UINT WM_DOWNLOAD_DONE = WM_USER + 101;     // 0x0465

inline WPARAM MakeDownloadWParam(int32_t kind, uint32_t lowWord) {
    return static_cast<WPARAM>(MAKELONG(static_cast<WORD>(lowWord), static_cast<WORD>(kind)));
}
