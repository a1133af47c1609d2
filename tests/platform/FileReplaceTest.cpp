#include "platform/FileReplace.h"

#include <gtest/gtest.h>

#include "OtherProcess.h"
#include "Scratch.h"

namespace {

TEST(FileReplace, AHeldTargetIsEitherReplacedOrKeptWholeButNeverLost) {
    struct Holder {
        const char* Name;
        DWORD Sharing;
    };
    // Read and delete sharing is how scanners and indexers open files; it is the case where
    // delete-then-rename lost the file.
    const Holder holders[] = {
        {"read+delete", FILE_SHARE_READ | FILE_SHARE_DELETE},
        {"read", FILE_SHARE_READ},
        {"read+write+delete", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE},
    };
    for (const Holder& holder : holders) {
        TempFolder folder;
        const std::wstring target = folder / L"GameCore.dll";
        const std::wstring source = target + L".update";
        ASSERT_TRUE(WriteBytes(target, "old"));
        ASSERT_TRUE(WriteBytes(source, "new"));
        HANDLE held = ::CreateFileW(target.c_str(), GENERIC_READ, holder.Sharing, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        DWORD error = ReplaceFileInOneStep(source, target);
        if (error != ERROR_SUCCESS && (holder.Sharing & FILE_SHARE_DELETE) == 0) {
            // Without delete sharing the file cannot even be set aside.
            EXPECT_NE(ReplaceSettingOldAside(source, target), ERROR_SUCCESS);
            EXPECT_EQ(ReadBytes(target + L".old"), "<missing>");
        }
        const std::string whileHeld = ReadBytes(target);
        ::CloseHandle(held);
        if (error == ERROR_SUCCESS) {
            EXPECT_EQ(ReadBytes(target), "new") << holder.Name;
            EXPECT_EQ(ReadBytes(source), "<missing>") << holder.Name;
        } else {
            EXPECT_EQ(whileHeld, "old") << holder.Name;
            EXPECT_EQ(ReadBytes(target), "old") << holder.Name;
            EXPECT_EQ(ReadBytes(source), "new") << holder.Name;
        }
    }
}

TEST(FileReplace, AFileAnotherProcessHoldsWithDeleteSharingCanBeReplacedBySettingItAside) {
    TempFolder folder;
    const std::wstring target = folder / L"GameCore.dll";
    const std::wstring source = target + L".update";
    ASSERT_TRUE(WriteBytes(target, "old"));
    ASSERT_TRUE(WriteBytes(source, "new"));
    OtherProcess scanner;
    ASSERT_TRUE(scanner.Start(OtherProcess::ThisProgram(), folder.Path(), {target, L""}));
    if (ReplaceFileInOneStep(source, target) != ERROR_SUCCESS) {
        EXPECT_EQ(ReadBytes(target), "old");
        ASSERT_EQ(ReplaceSettingOldAside(source, target), ERROR_SUCCESS);
    }
    EXPECT_EQ(ReadBytes(target), "new");
    scanner.Stop();
    EXPECT_EQ(ReadBytes(target), "new");
    RemoveCopiesSetAside(target);
    EXPECT_EQ(ReadBytes(target + L".old"), "<missing>");
}

TEST(FileReplace, AReadOnlyTargetIsNeverLostAndAFolderOfThatNameStays) {
    TempFolder folder;
    const std::wstring readOnly = folder / L"a.txt";
    ASSERT_TRUE(WriteBytes(readOnly, "old"));
    ASSERT_TRUE(WriteBytes(readOnly + L".update", "new"));
    ::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    // Windows refuses to replace a read-only file; Wine, run as root here, replaces it.
    if (ReplaceFileInOneStep(readOnly + L".update", readOnly) == ERROR_SUCCESS) {
        EXPECT_EQ(ReadBytes(readOnly), "new");
    } else {
        EXPECT_EQ(ReadBytes(readOnly), "old");
        EXPECT_EQ(ReadBytes(readOnly + L".update"), "new");
    }

    const std::wstring asFolder = folder / L"b.txt";
    ASSERT_TRUE(::CreateDirectoryW(asFolder.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(asFolder + L".update", "new"));
    EXPECT_NE(ReplaceFileInOneStep(asFolder + L".update", asFolder), ERROR_SUCCESS);
    EXPECT_NE(::GetFileAttributesW(asFolder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(ReadBytes(asFolder + L".update"), "new");
}

TEST(FileReplace, TheRunningProgramIsRenewedAndItsOldCopyGoesAtTheNextStart) {
    TempFolder folder;
    const std::wstring program = folder / L"Refreshor.exe";
    ASSERT_TRUE(::CopyFileW(OtherProcess::ThisProgram().c_str(), program.c_str(), FALSE));
    OtherProcess running;
    ASSERT_TRUE(running.Start(program, folder.Path(), {}));

    ASSERT_TRUE(WriteBytes(program + L".update", "new program"));
    // Windows and Wine both refuse to replace a running program's file in one rename.
    if (ReplaceFileInOneStep(program + L".update", program) == ERROR_SUCCESS) {
        ASSERT_TRUE(WriteBytes(program + L".update", "new program"));
    }
    ASSERT_EQ(ReplaceSettingOldAside(program + L".update", program), ERROR_SUCCESS);
    EXPECT_EQ(ReadBytes(program), "new program");
    EXPECT_EQ(ReadBytes(program + L".update"), "<missing>");

    running.Stop();
    EXPECT_GE(RemoveCopiesSetAside(program), 1);
    // "Refreshor.exe.*" also matches "Refreshor.exe" itself, as on Windows.
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW((program + L".*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do {
        EXPECT_STREQ(found.cFileName, L"Refreshor.exe");
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    EXPECT_EQ(ReadBytes(program), "new program");
}

TEST(FileReplace, CleanupRemovesOnlyCopiesSetAsideForThatProgram) {
    TempFolder folder;
    const std::wstring program = folder / L"Refreshor.exe";
    const wchar_t* removed[] = {L"Refreshor.exe.old", L"refreshor.EXE.12.old"};
    const wchar_t* kept[] = {L"Refreshor.exe", L"Refreshor.exe.update", L"Refreshor.exe.x.old",
                             L"Refreshor.exe..old", L"Other.exe.old"};
    for (const wchar_t* name : removed) {
        ASSERT_TRUE(WriteBytes((folder / name), "x"));
    }
    for (const wchar_t* name : kept) {
        ASSERT_TRUE(WriteBytes((folder / name), "x"));
    }
    EXPECT_EQ(RemoveCopiesSetAside(program), 2);
    for (const wchar_t* name : kept) {
        EXPECT_EQ(ReadBytes(folder / name), "x");
    }
    // The next copy set aside takes the usual name again.
    std::wstring aside;
    ASSERT_EQ(SetFileAside(program, &aside), ERROR_SUCCESS);
    EXPECT_EQ(aside, program + L".old");
}

} // namespace
