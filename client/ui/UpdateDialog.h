#pragma once
// The updater's one window: a borderless 500 x 160 dialog painted from skin bitmaps, with a
// status line, a progress line, a transfer rate, two bars, its own close button and an animated
// notification-area icon. The update session lives in the same object: it writes the status
// line and the plan's counters, and the window only shows them.

#include "manifest/FileList.h"
#include "manifest/ServerList.h"
#include "manifest/TaskList.h"
#include "platform/CriticalSection.h"
#include "platform/Dialog.h"
#include "platform/UniqueHandle.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <string>

// The notification-area icon's callback message. Nothing handles it: clicks on the icon get the
// system's default processing and do nothing.
constexpr UINT WM_TRAY_NOTIFY = WM_USER + 102;

class UpdateDialog : public Dialog {
public:
    static constexpr UINT_PTR TIMER_SCHEDULE = 1000;
    static constexpr UINT_PTR TIMER_REPAINT = 1001;
    static constexpr UINT TimerPeriodMs = 100;
    // A command that no control sends; it connects to the first server like the session does.
    static constexpr int IDC_CONNECT = 1005;
    static constexpr int IDC_UNUSED = 1004;

    explicit UpdateDialog(std::wstring serverListAddress);
    ~UpdateDialog() override;

    // Replaces the status line. No repaint is asked for: the repaint timer shows it within
    // 100 ms.
    void SetStatusText(const std::wstring& text);

    // ---- session hooks: the update run itself -------------------------------------------------
    // The first step of the run, at the end of the window's initialisation. Virtual so that a
    // window can be run without a session (the window's own tests do).
    virtual void StartSession(std::wstring serverListAddress);
    // Queues the manifest download of the first server.
    void ConnectServer();
    // Runs on every tick of both timers: starts the task at the front when allowed.
    void RunSchedulingStep();
    // WM_DOWNLOAD_DONE: low word of wParam the result code, high word the task's kind, lParam
    // the task.
    LRESULT OnDownloadDone(WPARAM wParam, LPARAM lParam);

    // ---- window state, in the order the window and the session share it -----------------------
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
    int32_t FilesToUpdate = 0;
    uint32_t TotalBytes = 0;
    uint32_t BytesDone = 0;
    // Recursive: a message box opened under it runs a message loop that may re-enter the
    // progress, timer and done handlers on this same thread.
    CriticalSection Lock;
    // Destroyed in reverse order: tasks first (each waits for its worker), then entries, then
    // servers.
    ServerList Servers;
    FileList Files;
    TaskList Tasks;
    int32_t MaxActive = 5;
    int32_t ActiveCount = 0;
    bool TrayAdded = false;
    NOTIFYICONDATAW TrayData{};

protected:
    bool OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnDestroy() override;

    void OnPaint();
    LRESULT OnDownloadProgress(WPARAM wParam, LPARAM lParam);
    void OnTimer(UINT_PTR id);
    bool OnSysCommand(UINT id);
    void OnLButtonDown();
    void OnLButtonUp();
    void OnMouseMove(POINT point);

    // The end of the process on the close button: status 0, at once, nothing torn down.
    // Virtual only so that a test can watch the close button without losing its own process.
    virtual void ExitProcessNow();

private:
    void ReadCursorPos();
    void AddTrayIcon();
    void AnimateTrayIcon();
    void RemoveTrayIcon();
    void EndProcessNow();

    std::wstring serverListAddress_;
};
