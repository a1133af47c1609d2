#pragma once
// The two messages a download posts to its window, packed and unpacked here only. Both carry the
// download's tag in the high word of wParam, so the receiver tells its downloads apart without
// touching them.

#include <windows.h>

#include <cstdint>

namespace net {

constexpr UINT WM_DOWNLOAD_PROGRESS = WM_USER + 100; // 0x0464
constexpr UINT WM_DOWNLOAD_DONE = WM_USER + 101;     // 0x0465

// While data arrives, at a bounded rate, and once more when the body is complete: lParam the bytes
// of the file present so far (those an earlier run left included, when the download resumed).
// The window takes its figures from this value alone, so they are exact however many messages
// it gets (a value: the window never reads through a pointer into a worker's object).
struct DownloadProgress {
    uint16_t Tag = 0;
    uint32_t Received = 0;
};

// Once at the end of a run: wParam low word the result code, lParam the task. The pointer only
// names the task; the receiver looks it up among the tasks it still holds and ignores it
// otherwise (a task deleted while running still posts its done message).
struct DownloadDone {
    uint16_t Tag = 0;
    uint16_t Code = 0;
    const void* Task = nullptr;
};

inline WPARAM MakeDownloadWParam(uint16_t tag, uint16_t lowWord) {
    return static_cast<WPARAM>(MAKELONG(lowWord, tag));
}

inline WPARAM ProgressWParam(const DownloadProgress& m) {
    return MakeDownloadWParam(m.Tag, 0);
}
inline LPARAM ProgressLParam(const DownloadProgress& m) {
    return static_cast<LPARAM>(m.Received);
}
inline DownloadProgress UnpackProgress(WPARAM wParam, LPARAM lParam) {
    return {HIWORD(wParam), static_cast<uint32_t>(lParam)};
}

inline WPARAM DoneWParam(const DownloadDone& m) {
    return MakeDownloadWParam(m.Tag, m.Code);
}
inline LPARAM DoneLParam(const DownloadDone& m) {
    return reinterpret_cast<LPARAM>(m.Task);
}
inline DownloadDone UnpackDone(WPARAM wParam, LPARAM lParam) {
    return {HIWORD(wParam), LOWORD(wParam), reinterpret_cast<const void*>(lParam)};
}

} // namespace net
