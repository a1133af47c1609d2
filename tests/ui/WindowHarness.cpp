#include "WindowHarness.h"

#include <shellapi.h>

using namespace ui;
using namespace session;
using namespace net;
using namespace manifest;

namespace {
constexpr UINT WM_RUN_ON_WINDOW_THREAD = WM_APP + 1;
}

bool SessionlessDialog::OnInitDialog() {
    bool result = UpdateDialog::OnInitDialog();
    ::SetEvent(Initialised);
    return result;
}

void SessionlessDialog::ExitProcessNow() {
    ExitRequested = true;
    TrayIconAtExit = TrayAdded || TrayIconPresent(GetSafeHwnd());
}

bool SessionlessDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_MOVE) {
        ++MoveCommands;
    }
    if (message == WM_RUN_ON_WINDOW_THREAD) {
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        result = 0;
        return true;
    }
    return UpdateDialog::OnMessage(message, wParam, lParam, result);
}

WindowRun::WindowRun(std::wstring address)
    : initialised_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      ended_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    thread_ = std::thread([this, address] {
        {
            SessionlessDialog dialog(address);
            dialog.Initialised = initialised_.get();
            dialog_ = &dialog;
            Result = dialog.DoModal();
            TrayAddedAtEnd = dialog.TrayAdded;
            SessionStarted = dialog.SessionStarted;
            dialog_ = nullptr;
        }
        ::SetEvent(ended_.get());
    });
}

WindowRun::~WindowRun() {
    if (::WaitForSingleObject(ended_.get(), 0) != WAIT_OBJECT_0) {
        HWND window = Window();
        if (window != nullptr) {
            ::PostMessageW(window, WM_QUIT, 0, 0);
        }
        WaitEnded(10000);
    }
    thread_.join();
}

HWND WindowRun::Window() {
    if (window_ == nullptr) {
        // Either initialisation finished or the dialog ended before it could.
        HANDLE events[2] = {initialised_.get(), ended_.get()};
        if (::WaitForMultipleObjects(2, events, FALSE, 5000) == WAIT_OBJECT_0 && dialog_) {
            window_ = dialog_->GetSafeHwnd();
        }
    }
    return window_;
}

void WindowRun::OnWindowThread(const std::function<void()>& work) {
    HWND window = Window();
    if (window != nullptr) {
        ::SendMessageW(window, WM_RUN_ON_WINDOW_THREAD, 0, reinterpret_cast<LPARAM>(&work));
    }
}

bool WindowRun::WaitEnded(DWORD milliseconds) {
    return ::WaitForSingleObject(ended_.get(), milliseconds) == WAIT_OBJECT_0;
}

bool TrayIconPresent(HWND window) {
    NOTIFYICONDATAW probe{};
    probe.cbSize = NOTIFYICONDATAW_V1_SIZE;
    probe.hWnd = window;
    probe.uID = 0;
    probe.uFlags = 0;
    return ::Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

PixelImage CaptureWhen(const std::function<bool(const PixelImage&)>& ready, DWORD milliseconds) {
    DWORD start = ::GetTickCount();
    for (;;) {
        PixelImage shot = CaptureScreen(0, 0, CaptureWidth, CaptureHeight);
        if ((!shot.Empty() && ready(shot)) || ::GetTickCount() - start >= milliseconds) {
            return shot;
        }
        ::Sleep(50);
    }
}

void KeepScreenshot(const PixelImage& image, const wchar_t* name) {
    std::wstring folder = UI_SCREENSHOT_DIR;
    ::CreateDirectoryW(folder.c_str(), nullptr);
    SavePng(image, folder + L"/" + name + L".png");
}
