// Stand-in for the skinned main window until it exists: shows the server-list address in a box.
#include "app/MainWindow.h"

#include "app/UpdateApp.h"

#include <windows.h>

void RunMainWindow(const std::wstring& serverListAddress) {
    std::wstring text = L"服务器列表: " + serverListAddress;
    ::MessageBoxW(nullptr, text.c_str(), ApplicationName().c_str(), MB_OK);
}
