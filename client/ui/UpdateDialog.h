#pragma once
// The updater's one window: a borderless 500 x 160 dialog painted from skin bitmaps, with a
// status line, a progress line, a transfer rate, two bars, its own close button and an animated
// notification-area icon. The update session lives in the window (`Session`): it writes the
// status line through the SessionWindow surface and the plan's figures, and the window
// only shows them.

#include "platform/Dialog.h"
#include "platform/UniqueHandle.h"
#include "session/SessionWindow.h"
#include "session/UpdateSession.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <string>

namespace ui {

// The notification-area icon's callback message. Nothing handles it: clicks on the icon get the
// system's default processing and do nothing.
constexpr UINT WM_TRAY_NOTIFY = WM_USER + 102;

class UpdateDialog : public Dialog, public session::SessionWindow {
public:
    // `installFolder`: the folder this updater guards; its window is marked for it, so that a
    // second updater there can find it. Empty for a window that guards nothing.
    explicit UpdateDialog(std::wstring serverListAddress, std::wstring installFolder = {});
    ~UpdateDialog() override;

    // Replaces the status line and echoes it to the debugger output channel, so that a run can
    // be followed with a debug viewer. No repaint is asked for: the repaint timer shows it
    // within 100 ms.
    void SetStatusText(const std::wstring& text) override;
    // A modal box owned by the window; an empty caption gives the program's name.
    void ShowMessageBox(const std::wstring& text, const std::wstring& caption, UINT type) override;
    HWND WindowHandle() const override { return GetSafeHwnd(); }

    // The first step of the run, at the end of the window's initialisation. Virtual so that a
    // window can be run without a session (the window's own tests do).
    virtual void StartSession(std::wstring serverListAddress);

    // The run: servers, downloads and the figures the window shows.
    session::UpdateSession Session{*this};

protected:
    static constexpr UINT_PTR kScheduleTimer = 1000;
    static constexpr UINT_PTR kRepaintTimer = 1001;
    static constexpr UINT kTimerPeriodMs = 100;
    // Kept because the system always had them: command ids that no control sends. The first
    // connects to the current server like the session does, the second does nothing.
    static constexpr int kConnectCommand = 1005;
    static constexpr int kUnusedCommand = 1004;

    bool OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnDestroy() override;

    // The end of the process on the close button: status 0, at once, nothing torn down.
    // Virtual only so that a test can watch the close button without losing its own process.
    virtual void ExitProcessNow();

    // Window state. Protected rather than private so that the window's tests can look at the
    // tray record and set the speed sample's clock through their subclass.
    HICON Icon = nullptr; // shared icon from the program file: the system owns it
    POINT CursorPos{0, 0};
    bool DragArmed = false;
    uint16_t CloseState = 0;
    std::wstring StatusText;
    UniqueBitmap BackgroundBitmap;
    UniqueBitmap CloseBitmap;
    UniqueBitmap BarBitmap;
    int32_t FilePercent = 0;
    int32_t TotalPercent = 0;
    UniqueFont TextFont;
    int32_t LastSampleClock = 0;
    uint32_t BytesAtLastSample = 0;
    uint32_t Speed = 0;
    bool TrayAdded = false;
    NOTIFYICONDATAW TrayData{};

private:
    void OnPaint();
    void OnDownloadProgress(const net::DownloadProgress& progress);
    void OnTimer(UINT_PTR id);
    bool OnSysCommand(UINT id);
    void OnLButtonDown();
    void OnLButtonUp();
    void OnMouseMove(POINT point);
    void ReadCursorPos();
    void AddTrayIcon();
    void AnimateTrayIcon();
    void RemoveTrayIcon();
    void EndProcessNow();

    std::wstring serverListAddress_;
    std::wstring installFolder_;
    // Notification-area refreshes are rate-limited (see AnimateTrayIcon).
    static constexpr ULONGLONG kTrayRefreshMs = 50;
    ULONGLONG lastTrayRefresh_ = 0;
    UINT trayPending_ = 0;
};

} // namespace ui
