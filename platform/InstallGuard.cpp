#include "platform/InstallGuard.h"

#include <cstdint>

#include "platform/PathKey.h"
#include "platform/WideString.h"

namespace {

// Global, so that two users of one machine (fast user switching) do not update one folder
// together either.
constexpr wchar_t kMutexPrefix[] = L"Global\\Halvenport.Refreshor.";
// The window property that carries the folder's digest. A property is readable from other
// processes, so no shared memory is needed to find the window.
constexpr wchar_t kWindowProperty[] = L"Halvenport.Refreshor.Folder";

uint64_t Fnv1a(const std::wstring& text) {
    uint64_t hash = 14695981039346656037ull;
    for (wchar_t c : text) {
        hash = (hash ^ static_cast<uint16_t>(c)) * 1099511628211ull;
    }
    return hash;
}

// Window properties hold a pointer-sized value, so a 32-bit build keeps half the digest; a
// collision would only bring the wrong updater's window forward.
HANDLE FolderTag(const std::wstring& folder) {
    uint64_t hash = Fnv1a(PathKey(folder));
    uintptr_t tag = static_cast<uintptr_t>(hash ^ (hash >> 32));
    return reinterpret_cast<HANDLE>(tag == 0 ? 1 : tag);
}

struct WindowSearch {
    HANDLE tag;
    HWND found;
};

BOOL CALLBACK MatchMarkedWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    if (::GetPropW(window, kWindowProperty) == search->tag) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

std::wstring InstallGuard::MutexName(const std::wstring& folder) {
    std::wstring key = PathKey(folder);
    for (wchar_t& c : key) {
        if (c == L'\\') {
            c = L'/';
        }
    }
    std::wstring name = kMutexPrefix + key;
    if (name.size() >= MAX_PATH) {
        name = FormatW(L"%ls#%016llx", kMutexPrefix, static_cast<unsigned long long>(Fnv1a(key)));
    }
    return name;
}

InstallGuard::InstallGuard(const std::wstring& folder) {
    const std::wstring name = MutexName(folder);
    mutex_ = ::CreateMutexW(nullptr, FALSE, name.c_str());
    if (mutex_ == nullptr) {
        // A mutex made by another user's updater is there but not ours to open.
        heldElsewhere_ = ::GetLastError() == ERROR_ACCESS_DENIED;
        return;
    }
    // Ownership, not existence, decides: an updater that is ending may still have the handle
    // open, and one that was killed leaves the mutex abandoned, which is ours to take.
    switch (::WaitForSingleObject(mutex_, 0)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:
        owned_ = true;
        break;
    case WAIT_TIMEOUT:
        heldElsewhere_ = true;
        break;
    default:
        break;
    }
}

InstallGuard::~InstallGuard() {
    if (owned_) {
        ::ReleaseMutex(mutex_);
    }
    if (mutex_ != nullptr) {
        ::CloseHandle(mutex_);
    }
}

void InstallGuard::MarkWindow(HWND window, const std::wstring& folder) {
    ::SetPropW(window, kWindowProperty, FolderTag(folder));
}

bool InstallGuard::BringMarkedWindowToFront(const std::wstring& folder, DWORD waitMilliseconds) {
    constexpr DWORD kLookAgainAfter = 50;
    WindowSearch search{FolderTag(folder), nullptr};
    const ULONGLONG deadline = ::GetTickCount64() + waitMilliseconds;
    for (;;) {
        ::EnumWindows(MatchMarkedWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            break;
        }
        if (::GetTickCount64() >= deadline) {
            return false;
        }
        // Nothing to wait on across processes but the window's appearance itself.
        ::Sleep(kLookAgainAfter);
    }
    if (::IsIconic(search.found)) {
        ::ShowWindow(search.found, SW_RESTORE);
    }
    // The updater that gives way was just started by the player, so it holds the right to set
    // the foreground window and can hand it on.
    ::SetForegroundWindow(search.found);
    return true;
}
