#include "ui/UpdateDialog.h"

#include "net/DownloadMessages.h"
#include "session/ServerEntry.h"
#include "platform/DebugOutput.h"
#include "platform/FileUtil.h"
#include "platform/InstallGuard.h"
#include "ui/CloseButton.h"
#include "ui/ProgressFigures.h"
#include "ui/ResourceIds.h"
#include "ui/SkinLayout.h"

#include <cstdlib>
#include <ctime>
#include <cwchar>
#include <utility>

namespace ui {

namespace {

HINSTANCE ProgramInstance() {
    return ::GetModuleHandleW(nullptr);
}

HICON LoadProgramIcon(int id) {
    return ::LoadIconW(ProgramInstance(), MAKEINTRESOURCEW(id));
}

HBITMAP LoadProgramBitmap(int id) {
    return static_cast<HBITMAP>(
        ::LoadImageW(ProgramInstance(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0));
}

// The shipped 32-bit program hands the shell the record's first layout, 152 bytes.
static_assert(sizeof(void*) != 4 || NOTIFYICONDATAW_V1_SIZE == 152);

// The tray animation advances once per chunk of any download in the process.
int32_t TrayAnimationCounter = 0;

// Copies `source` into `target` (capacity `capacity`, terminator included).
void CopyTip(wchar_t* target, size_t capacity, const std::wstring& source) {
    size_t n = source.size() < capacity - 1 ? source.size() : capacity - 1;
    std::wmemcpy(target, source.data(), n);
    target[n] = L'\0';
}

} // namespace

UpdateDialog::UpdateDialog(std::wstring serverListAddress, std::wstring installFolder)
    : Dialog(IDD_UPDATE_DIALOG), serverListAddress_(std::move(serverListAddress)),
      installFolder_(std::move(installFolder)) {
    Icon = LoadProgramIcon(IDI_APPLICATION_ICON);
}

UpdateDialog::~UpdateDialog() = default;

void UpdateDialog::SetStatusText(const std::wstring& text) {
    StatusText = text;
    DebugLine(text);
}

void UpdateDialog::ShowMessageBox(const std::wstring& text, const std::wstring& caption,
                                  UINT type) {
    std::wstring title = caption.empty() ? ProgramName() : caption;
    ::MessageBoxW(GetSafeHwnd(), text.c_str(), title.c_str(), type);
}

void UpdateDialog::StartSession(std::wstring serverListAddress) {
    Session.StartSession(serverListAddress);
}

// ---- initialisation and teardown ---------------------------------------------------------------

bool UpdateDialog::OnInitDialog() {
    Dialog::OnInitDialog();
    HWND window = GetSafeHwnd();
    ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(Icon));
    ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(Icon));
    ::MoveWindow(window, 0, 0, skin::kWindowWidth, skin::kWindowHeight, TRUE);
    if (!installFolder_.empty()) {
        // A second updater started in this folder gives way and brings this window forward.
        InstallGuard::MarkWindow(window, installFolder_);
    }

    if (serverListAddress_.empty()) {
        ::MessageBoxW(window,
                      L"请输传递服务器列表参数 格式： ...exe http://..../..serverlist.txt auto",
                      L"系统提示", MB_OK | MB_ICONERROR);
        ::PostQuitMessage(0);
        return false;
    }
    Session.AddServer({session::kBuiltInServerName, session::kBuiltInServerAddress});

    if (!TrayAdded) {
        AddTrayIcon();
    }
    FilePercent = 0;
    TotalPercent = 0;
    Speed = 0;
    BackgroundBitmap.reset(LoadProgramBitmap(IDB_BACKGROUND));
    CloseBitmap.reset(LoadProgramBitmap(IDB_CLOSE_BUTTON));
    BarBitmap.reset(LoadProgramBitmap(IDB_PROGRESS_BAR));
    TextFont.reset(::CreateFontW(14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS,
                                 L"Arial"));
    // Kept because the system always had it: two timers of the same period, both of which run
    // the scheduling step.
    ::SetTimer(window, kScheduleTimer, kTimerPeriodMs, nullptr);
    ::SetTimer(window, kRepaintTimer, kTimerPeriodMs, nullptr);
    LastSampleClock = 0;
    BytesAtLastSample = 0;

    StartSession(serverListAddress_);
    return true;
}

void UpdateDialog::AddTrayIcon() {
    TrayData = NOTIFYICONDATAW{};
    // The first layout of the record: the fields used here, understood by every shell.
    TrayData.cbSize = NOTIFYICONDATAW_V1_SIZE;
    TrayData.hWnd = GetSafeHwnd();
    TrayData.uID = 0;
    TrayData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    TrayData.uCallbackMessage = WM_TRAY_NOTIFY;
    TrayData.hIcon = LoadProgramIcon(IDI_TRAY_BLUE);
    CopyTip(TrayData.szTip, 64, L"正在自动更新");
    ::Shell_NotifyIconW(NIM_ADD, &TrayData);
    // Undone right away: the template is visible, so the system shows the dialog once
    // initialisation has returned.
    ::ShowWindow(GetSafeHwnd(), SW_HIDE);
    TrayAdded = true;
}

void UpdateDialog::RemoveTrayIcon() {
    if (!TrayAdded) {
        return;
    }
    ::Shell_NotifyIconW(NIM_DELETE, &TrayData);
    TrayAdded = false;
}

// Whatever ended the dialog (the session's quit, Enter, Escape, the close command), the icon
// must not outlive the window.
void UpdateDialog::OnDestroy() {
    RemoveTrayIcon();
}

// The close button ends the program on the spot, abandoning running downloads. The icon is
// taken down first: a shell keeps an icon whose window died without removing it until the
// user's mouse passes over it.
void UpdateDialog::EndProcessNow() {
    RemoveTrayIcon();
    // Nothing is torn down on this path, the session's destructor included: its temporary list
    // and manifest files would stay in the user's temporary folder for good.
    Session.DeleteTemporaryFiles();
    ExitProcessNow();
}

void UpdateDialog::ExitProcessNow() {
    std::exit(0);
}

// ---- messages ----------------------------------------------------------------------------------

bool UpdateDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_PAINT:
        OnPaint();
        result = 0;
        return true;
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(Icon);
        return true;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kConnectCommand) {
            Session.ConnectServer();
            result = 0;
            return true;
        }
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kUnusedCommand) {
            result = 0;
            return true;
        }
        break;
    case net::WM_DOWNLOAD_PROGRESS:
        OnDownloadProgress(net::UnpackProgress(wParam, lParam));
        result = 0;
        return true;
    case net::WM_DOWNLOAD_DONE:
        Session.OnDownloadDone(net::UnpackDone(wParam, lParam));
        result = 0;
        return true;
    case WM_TIMER:
        OnTimer(wParam);
        return false;
    case WM_SYSCOMMAND:
        if (OnSysCommand(static_cast<UINT>(wParam))) {
            result = 0;
            return true;
        }
        return false;
    case WM_LBUTTONDOWN:
        OnLButtonDown();
        return false;
    case WM_LBUTTONUP:
        OnLButtonUp();
        return false;
    case WM_MOUSEMOVE:
        OnMouseMove(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return false;
    case WM_ERASEBKGND:
        // The paint covers every pixel; erasing first would only flicker.
        result = TRUE;
        return true;
    default:
        break;
    }
    return Dialog::OnMessage(message, wParam, lParam, result);
}

void UpdateDialog::OnPaint() {
    HWND window = GetSafeHwnd();
    PaintScope paint(window);
    HDC dc = paint.dc();
    RECT client{};
    ::GetClientRect(window, &client);
    UniqueMemoryDC memory(::CreateCompatibleDC(dc));
    if (memory) {
        // A bitmap that failed to load is simply not drawn: selecting nothing would copy the
        // memory context's 1 x 1 placeholder instead.
        if (BackgroundBitmap) {
            SelectedObject select(memory.get(), BackgroundBitmap.get());
            ::BitBlt(dc, 0, 0, client.right - client.left, client.bottom - client.top, memory.get(),
                     0, 0, SRCCOPY);
        }
        if (CloseBitmap) {
            SelectedObject select(memory.get(), CloseBitmap.get());
            ::BitBlt(dc, skin::kCloseFrameX, skin::kCloseFrameY, skin::kCloseFrameWidth,
                     skin::kCloseFrameHeight, memory.get(), CloseState * skin::kCloseFrameWidth, 0,
                     SRCCOPY);
        }
        if (BarBitmap) {
            SelectedObject select(memory.get(), BarBitmap.get());
            ::BitBlt(dc, skin::kBarX, skin::kFileBarY, skin::BarWidth(FilePercent),
                     skin::kBarHeight, memory.get(), 0, 0, SRCCOPY);
            ::BitBlt(dc, skin::kBarX, skin::kTotalBarY, skin::BarWidth(TotalPercent),
                     skin::kBarHeight, memory.get(), 0, 0, SRCCOPY);
        }
    }

    SelectedObject font(dc, TextFont ? static_cast<HGDIOBJ>(TextFont.get())
                                     : ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(dc, TRANSPARENT);
    ::TextOutW(dc, skin::kStatusX, skin::kStatusY, StatusText.c_str(),
               static_cast<int>(StatusText.size()));
    std::wstring speed = SpeedText(Speed);
    ::TextOutW(dc, skin::kSpeedX, skin::kSpeedY, speed.c_str(), static_cast<int>(speed.size()));
    std::wstring progress = ProgressLineText(FilePercent, Session.Figures.FilesToUpdate,
                                             static_cast<uint32_t>(Session.TasksListed()));
    ::TextOutW(dc, skin::kProgressX, skin::kProgressY, progress.c_str(),
               static_cast<int>(progress.size()));
}

void UpdateDialog::OnDownloadProgress(const net::DownloadProgress& progress) {
    session::RunFigures& figures = Session.Figures;
    // Only the lists' downloads have no length; their progress leaves the file bar alone.
    if (figures.FileLength > 0) {
        FilePercent = PercentOf(progress.Received, figures.FileLength);
    }
    if (progress.Tag == static_cast<uint16_t>(session::TaskKind::UpdateFile)) {
        figures.BytesDone += progress.Chunk;
        if (figures.TotalBytes > 0) {
            TotalPercent = PercentOf(figures.BytesDone, figures.TotalBytes);
            // The C runtime clock counts milliseconds on this platform.
            SampleSpeed(figures.BytesDone, static_cast<int32_t>(std::clock()), LastSampleClock,
                        BytesAtLastSample, Speed);
        }
    }
    if (TrayAdded) {
        AnimateTrayIcon();
    }
}

void UpdateDialog::AnimateTrayIcon() {
    // The record follows every chunk; the shell hears of it at most every kTrayRefreshMs. Each
    // notification-area call is a round trip to the shell's process (about 3 ms under Wine), and
    // with one per kilobyte the window fell so far behind its progress messages that a 64 MiB
    // file took minutes to be reported done. Nobody can see an icon change more often anyway.
    TrayData.hIcon = LoadProgramIcon(NextTrayIcon(TrayAnimationCounter));
    UINT changed = NIF_ICON;
    std::wstring tip = TrayTipText(FilePercent, Session.Figures.FilesToUpdate,
                                   static_cast<uint32_t>(Session.TasksListed()));
    if (std::wcsncmp(TrayData.szTip, tip.c_str(), kMaxTipLength) != 0) {
        CopyTip(TrayData.szTip, kMaxTipLength + 1, tip);
        changed |= NIF_TIP;
    }
    trayPending_ |= changed;
    const ULONGLONG now = ::GetTickCount64();
    if (now - lastTrayRefresh_ < kTrayRefreshMs) {
        return;
    }
    lastTrayRefresh_ = now;
    TrayData.uFlags = trayPending_;
    trayPending_ = 0;
    ::Shell_NotifyIconW(NIM_MODIFY, &TrayData);
}

void UpdateDialog::OnTimer(UINT_PTR id) {
    if (id == kRepaintTimer) {
        ::InvalidateRect(GetSafeHwnd(), nullptr, FALSE);
        Session.RunSchedulingStep();
    } else if (id == kScheduleTimer) {
        Session.RunSchedulingStep();
    }
}

bool UpdateDialog::OnSysCommand(UINT id) {
    // The updater stays in view for the whole run: minimising is refused.
    return (id & 0xFFF0) == SC_MINIMIZE;
}

void UpdateDialog::ReadCursorPos() {
    ::GetCursorPos(&CursorPos);
    ::ScreenToClient(GetSafeHwnd(), &CursorPos);
}

void UpdateDialog::OnLButtonDown() {
    ReadCursorPos();
    CloseButtonPress(CursorPos.x, CursorPos.y, CloseState, DragArmed);
}

void UpdateDialog::OnMouseMove(POINT point) {
    ReadCursorPos();
    if (CloseButtonMove(CursorPos.x, CursorPos.y, DragArmed, CloseState)) {
        // The system then moves the window with the mouse as if its caption had been grabbed.
        ::PostMessageW(GetSafeHwnd(), WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
    }
}

void UpdateDialog::OnLButtonUp() {
    ReadCursorPos();
    if (CloseButtonRelease(CursorPos.x, CursorPos.y, CloseState, DragArmed)) {
        EndProcessNow();
    }
}

} // namespace ui
