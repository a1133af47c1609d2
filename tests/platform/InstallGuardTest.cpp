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
    ScratchFolder scratch;
    const std::wstring installation = scratch.Path(L"Hall");
    ASSERT_TRUE(::CreateDirectoryW(installation.c_str(), nullptr));
    OtherProcess first;
    ASSERT_TRUE(first.Start(OtherProcess::ThisProgram(), scratch.Path(), {L"", installation}));
    ASSERT_EQ(first.Report(), "owned");

    {
        // Another spelling of the same folder.
        InstallGuard second(installation + L"\\.\\");
        EXPECT_FALSE(second.Owned());
        EXPECT_TRUE(second.HeldElsewhere());
        EXPECT_TRUE(InstallGuard::BringMarkedWindowToFront(installation));
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
