#include "session/FileInstaller.h"

#include "RecordingWindow.h"
#include "SessionFiles.h"

#include "platform/FileReplace.h"
#include "platform/UniqueHandle.h"
#include "platform/WideString.h"

#include <gtest/gtest.h>

#include <vector>

using namespace session;
using namespace manifest;

namespace {

class FileInstallerTest : public ::testing::Test {
protected:
    // An update file for `name` in the test folder, its download already in place.
    void Download(FileEntry& file, const std::wstring& name, const std::string& content) {
        file.TargetPath = folder / name;
        file.FileName = name;
        WriteFileBytes(UpdatePathOf(file.TargetPath), content);
    }

    // Installs as an updater whose own program file is Refreshor.exe in the test folder.
    InstallResult Install(const FileEntry& file) {
        return InstallDownloadedFile(file, window, folder / L"Refreshor.exe");
    }

    TempFolder folder;
    RecordingWindow window;
};

} // namespace

TEST_F(FileInstallerTest, NewAndReplacedFilesEndUpUnderTheirTargetName) {
    FileEntry fresh;
    Download(fresh, L"new.dat", "new");
    Install(fresh);
    EXPECT_EQ(ReadFileBytes(fresh.TargetPath), "new");
    EXPECT_FALSE(FileExists(fresh.TargetPath + L".update"));

    FileEntry replaced;
    WriteFileBytes(folder / L"old.dat", "old contents");
    Download(replaced, L"old.dat", "replacement");
    Install(replaced);
    EXPECT_EQ(ReadFileBytes(replaced.TargetPath), "replacement");

    EXPECT_EQ(window.Status,
              (std::vector<std::wstring>{L"下载文件成功 [new.dat]", L"下载文件成功 [old.dat]"}));
}

TEST_F(FileInstallerTest, PathsOutsideTheAnsiCodePageAreStillInstalled) {
    // Hangul has no form in code page 936: a byte-string rename could not name this file.
    FileEntry task;
    WriteFileBytes(folder / L"한글.dat", "old");
    Download(task, L"한글.dat", "new");
    Install(task);
    EXPECT_EQ(ReadFileBytes(task.TargetPath), "new");
    EXPECT_EQ(window.Status.back(), L"下载文件成功 [한글.dat]");
}

TEST_F(FileInstallerTest, AHeldTargetIsKeptWholeWhateverTheHolderShares) {
    // Read and delete sharing is how scanners and indexers open files: deleting first and
    // renaming afterwards lost the file then, once the holder let go.
    for (DWORD sharing : {DWORD{FILE_SHARE_READ}, DWORD{FILE_SHARE_READ | FILE_SHARE_DELETE}}) {
        FileEntry task;
        WriteFileBytes(folder / L"busy.dll", "in use");
        Download(task, L"busy.dll", "new");
        UniqueFile holder(::CreateFileW(task.TargetPath.c_str(), GENERIC_READ, sharing, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        EXPECT_FALSE(Install(task).Installed) << sharing;
        holder.reset();
        EXPECT_EQ(window.Status.back(), L"删除文件失败 [busy.dll]");
        EXPECT_EQ(ReadFileBytes(task.TargetPath), "in use") << sharing;
        EXPECT_EQ(ReadFileBytes(task.TargetPath + L".update"), "new") << sharing;
    }
}

TEST_F(FileInstallerTest, TheUpdatersOwnRunningFileIsRenewedAndItsOldCopyGoesNextTime) {
    // A running program's file is held the way the loader holds it: read and delete sharing.
    FileEntry self;
    WriteFileBytes(folder / L"Refreshor.exe", "running");
    Download(self, L"REFRESHOR.exe", "renewed");
    UniqueFile running(::CreateFileW(self.TargetPath.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                     nullptr));
    ASSERT_TRUE(running);
    EXPECT_TRUE(Install(self).Installed);
    EXPECT_EQ(window.Status.back(), L"下载文件成功 [REFRESHOR.exe]");
    EXPECT_EQ(ReadFileBytes(folder / L"Refreshor.exe"), "renewed");
    EXPECT_FALSE(PathExists(folder / L"Refreshor.exe.update"));

    running.reset(); // the old updater has ended; the new one starts
    EXPECT_EQ(RemoveCopiesSetAside(folder / L"Refreshor.exe"), 1);
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW((folder / L"Refreshor.exe*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    // The file now carries the manifest's spelling of its name.
    EXPECT_TRUE(EqualsNoCase(found.cFileName, L"Refreshor.exe")) << found.cFileName;
    EXPECT_FALSE(::FindNextFileW(search, &found)) << "left beside it: " << found.cFileName;
    ::FindClose(search);
}

TEST_F(FileInstallerTest, UpdateFilesOfCurrentEntriesAreRemovedAndThoseOfOutdatedOnesKept) {
    ::CreateDirectoryW((folder / L"sub").c_str(), nullptr);
    for (const wchar_t* name : {L"current.dat.update", L"outdated.dat.update",
                                L"unlisted.dat.update", L"sub\\Nested.DAT.update"}) {
        WriteFileBytes(folder / name, "partial");
    }
    std::deque<FileEntry> outdated(1);
    outdated[0].TargetPath = folder / L"OUTDATED.dat";
    RemoveStaleUpdateFiles({folder / L"current.dat", folder / L"outdated.dat",
                            folder / L"sub\\nested.dat", folder / L"absent.dat"},
                           outdated);
    EXPECT_FALSE(PathExists(folder / L"current.dat.update"));
    EXPECT_FALSE(PathExists(folder / L"sub\\Nested.DAT.update"));
    EXPECT_TRUE(PathExists(folder / L"outdated.dat.update"));
    // Not the updater's: no entry of the manifest names it.
    EXPECT_TRUE(PathExists(folder / L"unlisted.dat.update"));
}

TEST(NotInstalledText, NamesTheFilesAndTheHoldersAndStaysShortForMany) {
    EXPECT_EQ(NotInstalledText({L"a.dll", L"b.dll"}, {}),
              L"文件更新失败 [a.dll, b.dll], 文件可能正在被使用, 请关闭相关程序后重试");
    EXPECT_EQ(NotInstalledText({L"a.dll"}, {L"Halvenport.exe"}),
              L"文件更新失败 [a.dll], 文件正被 [Halvenport.exe] 使用, 请关闭相关程序后重试");
    std::vector<std::wstring> many(200, L"x.dat");
    std::wstring text = NotInstalledText(many, {});
    EXPECT_NE(text.find(L"x.dat, x.dat, x.dat, x.dat, x.dat 等 200 个文件]"), std::wstring::npos);
    EXPECT_LT(text.size(), 120u);
}

TEST_F(FileInstallerTest, ATargetHeldWithoutReadSharingFailsTheRename) {
    FileEntry task;
    WriteFileBytes(folder / L"locked.dll", "locked");
    Download(task, L"locked.dll", "new");
    UniqueFile holder(::CreateFileW(task.TargetPath.c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    EXPECT_FALSE(FileExists(task.TargetPath));
    Install(task);
    holder.reset();
    EXPECT_EQ(window.Status.back(), L"重命名文件失败 [locked.dll]");
    EXPECT_EQ(ReadFileBytes(task.TargetPath), "locked");
    EXPECT_EQ(ReadFileBytes(task.TargetPath + L".update"), "new");
}

TEST_F(FileInstallerTest, AMissingDownloadIsReportedAsAFailedRename) {
    FileEntry task;
    task.TargetPath = folder / L"never-downloaded.dat";
    task.FileName = L"never-downloaded.dat";
    Install(task);
    EXPECT_EQ(window.Status.back(), L"重命名文件失败 [never-downloaded.dat]");
}

TEST_F(FileInstallerTest, StartsAndRegistersTheInstalledFileAsAsked) {
    // A folder with a space: the registration must still reach regsvr32 as one path.
    ::CreateDirectoryW((folder / L"with space").c_str(), nullptr);
    FileEntry program;
    program.Execute = true;
    program.ExecutePar = L"--after-update 1";
    Download(program, L"with space\\notice.exe",
             ReadFileBytes(TestProgramPath(L"StartRecorder.exe")).value_or(""));
    Install(program);

    FileEntry library;
    library.Register = true;
    Download(library, L"with space\\GameCore.dll",
             ReadFileBytes(TestProgramPath(L"GameCore_1_0_0_10.dll")).value_or(""));
    Install(library);

    EXPECT_TRUE(
        WaitForFileContaining(folder / L"with space\\started.log", "notice.exe --after-update 1"));
    EXPECT_TRUE(WaitForFileContaining(folder / L"with space\\registered.log", "GameCore.dll",
                                      /*utf16=*/true));
}

TEST_F(FileInstallerTest, LaunchGameHallStartsItFromTheCurrentDirectoryAndQuits) {
    WriteFileBytes(folder / L"Halvenport.exe",
                   ReadFileBytes(TestProgramPath(L"StartRecorder.exe")).value_or(""));
    CurrentDirectoryScope cwd(folder.Path());
    LaunchGameHall(window);

    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, window.WindowHandle(), WM_QUIT, WM_QUIT, PM_REMOVE) ||
                ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_TRUE(WaitForFileContaining(folder / L"started.log", "Halvenport.exe"));
}
