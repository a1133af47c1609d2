#include "app/UpdateApp.h"

#include "BuildConfig.h"
#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "app/resource.h"
#include "platform/FileUtil.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <winsock2.h>

UpdateApp::UpdateApp() : ServerListAddress(REFRESHOR_SERVER_LIST_ADDRESS) {}

UpdateApp::~UpdateApp() {
    if (socketsStarted_)
        ::WSACleanup();
}

static std::wstring LoadResourceString(UINT id, const wchar_t* fallback) {
    const wchar_t* text = nullptr;
    int n = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(&text), 0);
    return n > 0 ? std::wstring(text, static_cast<size_t>(n)) : std::wstring(fallback);
}

bool UpdateApp::InitInstance() {
    ::InitCommonControls();
    // The manifest reader creates its XML document object on this thread. A failure here is
    // reported by that reader when it cannot create the object.
    comInitialised_ = SUCCEEDED(::CoInitialize(nullptr));

    WSADATA data;
    if (::WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        std::wstring text =
            LoadResourceString(IDS_SOCKETS_INIT_FAILED, L"Windows 套接字初始化失败。");
        ::MessageBoxW(nullptr, text.c_str(), ProgramName().c_str(), MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    socketsStarted_ = true;

    std::wstring address;
    if (ServerListAddressFromArguments(ArgumentText(::GetCommandLineW()), address))
        ServerListAddress = address;

    // The whole update run happens while the main window is up; its result is not examined.
    RunMainWindow(ServerListAddress);
    return false;
}

int UpdateApp::ExitInstance() {
    if (comInitialised_) {
        ::CoUninitialize();
        comInitialised_ = false;
    }
    return 0;
}
