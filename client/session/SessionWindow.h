#pragma once
// What the update session needs of its window: the narrow surface between the session logic
// and the code that touches windows.

#include <windows.h>

#include <string>

class RunLog;

namespace session {

class SessionWindow {
public:
    virtual ~SessionWindow() = default;

    // Replaces the status line (and echoes it to the debugger output channel).
    virtual void SetStatusText(const std::wstring& text) = 0;
    // A modal message box owned by the window; an empty caption gives the program's name.
    virtual void ShowMessageBox(const std::wstring& text, const std::wstring& caption,
                                UINT type) = 0;
    // The window that download tasks post their messages to, and that the quit goes to.
    virtual HWND WindowHandle() const = 0;
    // The run's log for support; null when the run keeps none.
    virtual RunLog* Log() const { return nullptr; }
};

} // namespace session
