#include "platform/InstallGuard.h"

#include <gtest/gtest.h>

#include "OtherProcess.h"
#include "Scratch.h"

namespace {

TEST(InstallGuard, EverySpellingOfAFolderGivesOneNameAndOtherFoldersAnother) {
    const std::wstring name = InstallGuard::MutexName(L"C:\\Games\\Hall");
    EXPECT_EQ(InstallGuard::MutexName(L"c:/games/HALL\\"), name);
    EXPECT_EQ(InstallGuard::MutexName(L"C:\\Games\\Other\\..\\Hall"), name);
    EXPECT_NE(InstallGuard::MutexName(L"C:\\Games\\Hall2"), name);
    // Only the namespace prefix may carry a backslash.
    EXPECT_EQ(name.find(L'\\', name.find(L'\\') + 1), std::wstring::npos) << name;

    const std::wstring deep = L"C:\\" + std::wstring(400, L'd');
    const std::wstring deepName = InstallGuard::MutexName(deep);
    EXPECT_LT(deepName.size(), static_cast<size_t>(MAX_PATH));
    EXPECT_NE(deepName, InstallGuard::MutexName(deep + L"e"));
}

TEST(InstallGuard, ASecondUpdaterGivesWayFindsTheFirstWindowAndTakesOverWhenItDies) {
    TempFolder scratch;
    const std::wstring installation = scratch / L"Hall";
    ASSERT_TRUE(::CreateDirectoryW(installation.c_str(), nullptr));
    OtherProcess first;
    ASSERT_TRUE(first.Start(OtherProcess::ThisProgram(), scratch.Path(), {L"", installation}));
    ASSERT_EQ(first.Report(), "owned");

    {
        // Another spelling of the same folder.
        InstallGuard second(installation + L"\\.\\");
        EXPECT_FALSE(second.Owned());
        EXPECT_TRUE(second.HeldElsewhere());
        // Someone else's window in front first, so that the call has something to change.
        HWND ours = ::CreateWindowExW(0, L"STATIC", L"second updater", WS_POPUP | WS_VISIBLE, 0, 0,
                                      50, 50, nullptr, nullptr, nullptr, nullptr);
        ::SetForegroundWindow(ours);
        EXPECT_TRUE(InstallGuard::BringMarkedWindowToFront(installation));
        // The other process takes the foreground when it next reads its messages.
        wchar_t title[64] = {};
        for (int i = 0; i < 100 && std::wstring(title) != L"other updater"; ++i) {
            ::Sleep(20);
            ::GetWindowTextW(::GetForegroundWindow(), title, 64);
        }
        EXPECT_STREQ(title, L"other updater");
        ::DestroyWindow(ours);
        EXPECT_FALSE(InstallGuard::BringMarkedWindowToFront(scratch.Path()));
        InstallGuard elsewhere(scratch.Path());
        EXPECT_TRUE(elsewhere.Owned());
    }
    // A killed updater leaves its mutex abandoned: the next one must not be locked out.
    first.Kill();
    InstallGuard next(installation);
    EXPECT_TRUE(next.Owned());
}

} // namespace
