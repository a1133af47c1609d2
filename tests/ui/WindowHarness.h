#pragma once
// Runs the real main window on a thread of the test program and reads back what it painted.
// The window sits at (0, 0) of the one X display, so these tests hold the ctest lock "display".

#include "ScreenCapture.h"
#include "ui/UpdateDialog.h"

#include "platform/UniqueHandle.h"

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

// The window without a session: nothing is downloaded, the test feeds it messages instead.
class SessionlessDialog : public ui::UpdateDialog {
public:
    explicit SessionlessDialog(std::wstring address) : ui::UpdateDialog(std::move(address)) {}

    void StartSession(std::wstring) override { SessionStarted = true; }

    // The window state the tests look at or prepare.
    using ui::UpdateDialog::LastSampleClock;
    using ui::UpdateDialog::TrayAdded;
    using ui::UpdateDialog::TrayData;

    bool SessionStarted = false;
    HANDLE Initialised = nullptr; // set once OnInitDialog has returned
    // What the close button left behind when it would have ended the process.
    bool ExitRequested = false;
    bool TrayIconAtExit = true;
    // System move commands that reached the window (a drag of the title band).
    int MoveCommands = 0;

protected:
    void ExitProcessNow() override;
    bool OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

class WindowRun {
public:
    explicit WindowRun(std::wstring address);
    ~WindowRun();
    WindowRun(const WindowRun&) = delete;
    WindowRun& operator=(const WindowRun&) = delete;

    // The dialog's window once it has initialised (null if it did not within a few seconds).
    HWND Window();
    // The window object; touch it only from the window's thread (OnWindowThread).
    SessionlessDialog& Dialog() { return *dialog_; }
    // Runs `work` on the window's thread, between its messages.
    void OnWindowThread(const std::function<void()>& work);
    // True when the modal loop has ended within `milliseconds`.
    bool WaitEnded(DWORD milliseconds);

    // Valid after the dialog has ended.
    INT_PTR Result = 0;
    bool TrayAddedAtEnd = true;
    bool SessionStarted = false;

private:
    UniqueHandle initialised_;
    UniqueHandle ended_;
    HWND window_ = nullptr;
    SessionlessDialog* dialog_ = nullptr;
    std::thread thread_;
};

// Shell probe: true while the notification area holds an icon (id 0) for `window`. A modify
// that changes nothing succeeds only for an icon that exists.
bool TrayIconPresent(HWND window);

// Captures the window's area plus a margin of 20 pixels right of and below it, repeatedly, until
// `ready` holds or `milliseconds` have passed; returns the last capture.
PixelImage CaptureWhen(const std::function<bool(const PixelImage&)>& ready,
                       DWORD milliseconds = 3000);
constexpr int CaptureWidth = 520;
constexpr int CaptureHeight = 180;

// Saves a capture under the build's screenshots folder as <name>.png.
void KeepScreenshot(const PixelImage& image, const wchar_t* name);
