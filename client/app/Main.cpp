// Start-up of Refreshor.exe: process-wide services, the command line, then the main window,
// which runs the whole update inside its modal loop.

#include "BuildConfig.h"
#include "app/CommandLine.h"
#include "platform/ComPtr.h"
#include "platform/FileReplace.h"
#include "platform/FileUtil.h"
#include "platform/InstallGuard.h"
#include "platform/Winsock.h"
#include "ui/ResourceIds.h"
#include "ui/UpdateDialog.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace {

// How long a second updater looks for the first one's window before it ends anyway.
constexpr DWORD kWaitForOtherWindowMs = 3000;

std::wstring LoadResourceString(UINT id, const wchar_t* fallback) {
    const wchar_t* text = nullptr;
    int n = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(&text), 0);
    return n > 0 ? std::wstring(text, static_cast<size_t>(n)) : std::wstring(fallback);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Two updaters in one installation would fetch the same files and trip over each other's
    // ".update" files. The one that comes second touches nothing: it shows the player the one
    // already at work and ends. Held until the window's downloads are cancelled and gone.
    const std::wstring program = ProgramPath();
    const std::wstring installFolder = FolderOf(program);
    InstallGuard guard(installFolder);
    if (guard.HeldElsewhere()) {
        // The other updater may have started a moment ago and not show its window yet.
        InstallGuard::BringMarkedWindowToFront(installFolder, kWaitForOtherWindowMs);
        return 0;
    }
    // The copy of the program that an earlier run renewed itself out of; still running copies
    // (an updater that is just ending) stay for a later start.
    RemoveCopiesSetAside(program);

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
        ::MessageBoxW(nullptr, text.c_str(), ProgramName().c_str(), MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }
    // No settings store is registered: the installation's settings key ("Torvane棋牌升级模块")
    // has never been read or written by the updater.

    std::wstring address = REFRESHOR_SERVER_LIST_ADDRESS;
    app::ServerListAddressFromArguments(app::ArgumentText(::GetCommandLineW()), address);

    // The run ends by ending the dialog; how it ended is not examined. Destroying the window
    // afterwards cancels and waits for any download still listed.
    ui::UpdateDialog dialog(address, guard.Owned() ? installFolder : std::wstring());
    dialog.DoModal();
    return 0;
}
