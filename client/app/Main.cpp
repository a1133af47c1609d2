// Start-up of Refreshor.exe: process-wide services, the command line, then the main window,
// which runs the whole update inside its modal loop.

#include "BuildConfig.h"
#include "app/CommandLine.h"
#include "platform/ComPtr.h"
#include "platform/FileUtil.h"
#include "platform/RunLog.h"
#include "platform/Winsock.h"
#include "ui/ResourceIds.h"
#include "ui/UpdateDialog.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace {

std::wstring LoadResourceString(UINT id, const wchar_t* fallback) {
    const wchar_t* text = nullptr;
    int n = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(&text), 0);
    return n > 0 ? std::wstring(text, static_cast<size_t>(n)) : std::wstring(fallback);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // For support: every run appends what it did. A log that cannot be written is no log; it
    // never stops the run.
    RunLog log(RunLog::DefaultPath());
    log.Write(L"run started: Refreshor " REFRESHOR_VERSION L", command line: " +
              std::wstring(::GetCommandLineW()));
    ::InitCommonControls();
    // The manifest reader creates its XML document object on this thread. A failure here is
    // reported by that reader when it cannot create the object.
    ComInit com;
    // Kept because the system always had it: the downloads use WinINet, not sockets, yet a
    // machine without Windows Sockets has always been refused here.
    WinsockInit sockets;
    if (!sockets) {
        std::wstring text =
            LoadResourceString(IDS_SOCKETS_INIT_FAILED, L"Windows 套接字初始化失败。");
        log.Write(L"box: " + text);
        ::MessageBoxW(nullptr, text.c_str(), ProgramName().c_str(), MB_OK | MB_ICONEXCLAMATION);
        log.Write(L"run ended");
        return 0;
    }
    // No settings store is registered: the installation's settings key ("Torvane棋牌升级模块")
    // has never been read or written by the updater.

    std::wstring address = REFRESHOR_SERVER_LIST_ADDRESS;
    app::ServerListAddressFromArguments(app::ArgumentText(::GetCommandLineW()), address);

    // The run ends by ending the dialog; how it ended is not examined. Destroying the window
    // afterwards ends any download still listed (within a bound).
    {
        ui::UpdateDialog dialog(address);
        dialog.UseLog(&log);
        dialog.DoModal();
    }
    log.Write(L"run ended");
    return 0;
}
