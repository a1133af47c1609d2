#pragma once
// One updater per installation folder. Two updaters in one folder would fetch the same files and
// trip over each other's ".update" files, so the second one gives way: it finds the first one's
// window, brings it to the front and ends.

#include <windows.h>

#include <string>

class InstallGuard {
public:
    // Tries to become the one updater of `folder` (any spelling of it: the name is made from the
    // folder's full path, case-folded). Check Owned() afterwards.
    explicit InstallGuard(const std::wstring& folder);
    // Lets the next updater in. Call on the thread that made the guard: a mutex belongs to a
    // thread, and one released elsewhere is only freed when that thread ends.
    ~InstallGuard();
    InstallGuard(const InstallGuard&) = delete;
    InstallGuard& operator=(const InstallGuard&) = delete;

    // True when this process is the folder's updater. False when another updater holds the
    // folder, and also when the guard could not be made at all (then the run goes on unguarded
    // rather than never updating).
    bool Owned() const { return owned_; }
    // True when another process holds the folder.
    bool HeldElsewhere() const { return heldElsewhere_; }

    // The mutex name for `folder`: a fixed prefix and the folder's key, with the backslashes
    // (which would name a namespace) replaced; a folder too long for an object name is
    // represented by a digest of its key.
    static std::wstring MutexName(const std::wstring& folder);

    // Marks `window` as the updater window of `folder`, so that a second updater can find it.
    static void MarkWindow(HWND window, const std::wstring& folder);
    // Brings the window marked for `folder` (in whichever process) to the front, restored if it
    // was minimised. An updater that started a moment earlier may not have its window yet, so
    // this looks again for up to `waitMilliseconds`. False when no such window turned up.
    static bool BringMarkedWindowToFront(const std::wstring& folder, DWORD waitMilliseconds = 0);

private:
    HANDLE mutex_ = nullptr;
    bool owned_ = false;
    bool heldElsewhere_ = false;
};
