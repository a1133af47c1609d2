// Two entry points that were published before they were written. They only tell the user so,
// in a box that blocks the calling thread until it is closed, and report success.

#include "Taboolex.h"

#include <windows.h>

#include <string>

namespace {

// The framework's application box is captioned with the host program's name: its file name
// without the extension.
std::wstring HostProgramName() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) {
            return {};
        }
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        // Truncated: long paths exceed MAX_PATH; the limit of any Windows path is 32767.
        if (path.size() >= 32768) {
            return {};
        }
        path.resize(path.size() * 2);
    }
    std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0) {
        name.erase(dot);
    }
    return name;
}

bool ShowUnfinishedBox(const wchar_t* text) noexcept {
    std::wstring caption;
    try {
        caption = HostProgramName();
    } catch (...) {
        // Without memory for the name the box still shows, with the system's default caption.
    }
    // The framework's box adds the exclamation icon to an OK box and is owned by the active
    // window, so it is modal to the host's window when there is one.
    MessageBoxW(GetActiveWindow(), text, caption.empty() ? nullptr : caption.c_str(),
                MB_OK | MB_ICONEXCLAMATION);
    return true;
}

} // namespace

extern "C" bool TABOOLEX_CDECL IsTaboolex2(void) {
    return ShowUnfinishedBox(L"还没完善的接口2");
}

extern "C" bool TABOOLEX_CDECL IsTaboolex3(void) {
    return ShowUnfinishedBox(L"还没完善的接口3");
}
