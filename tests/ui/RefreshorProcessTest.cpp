#include "WindowHarness.h"

#include "platform/UniqueHandle.h"

#include <gtest/gtest.h>

#include <string>

using namespace ui;
using namespace session;
using namespace net;
using namespace manifest;

namespace {

// Refreshor.exe itself, started as callers start it.
class RefreshorProcess {
public:
    RefreshorProcess() {
        std::wstring exe = REFRESHOR_EXE;
        std::wstring commandLine = L"\"" + exe + L"\" http://127.0.0.1:9/UpdataDll.xml auto";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        if (::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &info)) {
            process_.reset(info.hProcess);
            UniqueHandle thread(info.hThread);
            id_ = info.dwProcessId;
        }
    }
    ~RefreshorProcess() {
        if (process_ && Running()) {
            ::TerminateProcess(process_.get(), 99);
        }
    }

    bool Started() const { return static_cast<bool>(process_); }
    bool Running() const { return ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
    bool WaitExit(DWORD milliseconds) const {
        return ::WaitForSingleObject(process_.get(), milliseconds) == WAIT_OBJECT_0;
    }
    DWORD ExitCode() const {
        DWORD code = 12345;
        ::GetExitCodeProcess(process_.get(), &code);
        return code;
    }
    HANDLE Handle() const { return process_.get(); }

    // Its visible main window, once it is up.
    HWND MainWindow() const {
        struct Search {
            DWORD id;
            HWND found;
        } search{id_, nullptr};
        for (int i = 0; i < 200 && search.found == nullptr; ++i) {
            ::EnumWindows(
                [](HWND window, LPARAM parameter) -> BOOL {
                    auto* s = reinterpret_cast<Search*>(parameter);
                    DWORD owner = 0;
                    ::GetWindowThreadProcessId(window, &owner);
                    RECT rect{};
                    ::GetWindowRect(window, &rect);
                    if (owner == s->id && ::IsWindowVisible(window) &&
                        rect.right - rect.left == 500 && rect.bottom - rect.top == 160) {
                        s->found = window;
                        return FALSE;
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&search));
            if (search.found == nullptr) {
                ::Sleep(50);
            }
        }
        return search.found;
    }

private:
    UniqueHandle process_;
    DWORD id_ = 0;
};

void ClickAt(HWND window, int x, int y) {
    // The handlers read the cursor itself, not the message's point.
    ::SetCursorPos(x, y);
    ::Sleep(150);
    ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    ::PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

TEST(RefreshorProcess, CloseButtonEndsTheProcessAndTakesTheTrayIconAlong) {
    RefreshorProcess refreshor;
    ASSERT_TRUE(refreshor.Started());
    HWND window = refreshor.MainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(TrayIconPresent(window));

    // One pixel right of the hit area: nothing happens.
    ClickAt(window, 492, 10);
    EXPECT_FALSE(refreshor.WaitExit(500));

    ClickAt(window, 480, 10);
    ASSERT_TRUE(refreshor.WaitExit(5000));
    EXPECT_EQ(refreshor.ExitCode(), 0u);
    EXPECT_FALSE(TrayIconPresent(window));
}

} // namespace
