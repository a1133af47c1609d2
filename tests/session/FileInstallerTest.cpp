#include "session/FileInstaller.h"

#include "RecordingWindow.h"
#include "TestFolder.h"

#include "platform/UniqueHandle.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class FileInstallerTest : public ::testing::Test {
protected:
    // A finished kind-2 task for `name` in the test folder, its download already in place.
    void Download(CInetFile& task, const std::wstring& name, const std::string& content) {
        task.TargetPath = folder.Path(name);
        task.FileName = name;
        WriteFileBytes(task.TargetPath + L".update", content);
    }

    TestFolder folder;
    RecordingWindow window;
};

} // namespace

TEST_F(FileInstallerTest, NewAndReplacedFilesEndUpUnderTheirTargetName) {
    CInetFile fresh;
    Download(fresh, L"new.dat", "new");
    InstallDownloadedFile(fresh, window);
    EXPECT_EQ(ReadFileBytes(fresh.TargetPath), "new");
    EXPECT_FALSE(FileExists(fresh.TargetPath + L".update"));

    CInetFile replaced;
    WriteFileBytes(folder.Path(L"old.dat"), "old contents");
    Download(replaced, L"old.dat", "replacement");
    InstallDownloadedFile(replaced, window);
    EXPECT_EQ(ReadFileBytes(replaced.TargetPath), "replacement");

    EXPECT_EQ(window.Status,
              (std::vector<std::wstring>{L"下载文件成功 [new.dat]", L"下载文件成功 [old.dat]"}));
}

TEST_F(FileInstallerTest, PathsOutsideTheAnsiCodePageAreStillInstalled) {
    // Hangul has no form in code page 936: a byte-string rename could not name this file.
    CInetFile task;
    WriteFileBytes(folder.Path(L"한글.dat"), "old");
    Download(task, L"한글.dat", "new");
    InstallDownloadedFile(task, window);
    EXPECT_EQ(ReadFileBytes(task.TargetPath), "new");
    EXPECT_EQ(window.Status.back(), L"下载文件成功 [한글.dat]");
}

TEST_F(FileInstallerTest, ATargetHeldWithoutDeleteSharingKeepsBothFiles) {
    CInetFile task;
    WriteFileBytes(folder.Path(L"busy.dll"), "in use");
    Download(task, L"busy.dll", "new");
    UniqueFile holder(::CreateFileW(task.TargetPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    InstallDownloadedFile(task, window);
    holder.reset();
    EXPECT_EQ(window.Status.back(), L"删除文件失败 [busy.dll]");
    EXPECT_EQ(ReadFileBytes(task.TargetPath), "in use");
    EXPECT_EQ(ReadFileBytes(task.TargetPath + L".update"), "new");
}

TEST_F(FileInstallerTest, ATargetHeldWithoutReadSharingFailsTheRename) {
    CInetFile task;
    WriteFileBytes(folder.Path(L"locked.dll"), "locked");
    Download(task, L"locked.dll", "new");
    UniqueFile holder(::CreateFileW(task.TargetPath.c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    EXPECT_FALSE(FileExists(task.TargetPath));
    InstallDownloadedFile(task, window);
    holder.reset();
    EXPECT_EQ(window.Status.back(), L"重命名文件失败 [locked.dll]");
    EXPECT_EQ(ReadFileBytes(task.TargetPath), "locked");
    EXPECT_EQ(ReadFileBytes(task.TargetPath + L".update"), "new");
}

TEST_F(FileInstallerTest, AMissingDownloadIsReportedAsAFailedRename) {
    CInetFile task;
    task.TargetPath = folder.Path(L"never-downloaded.dat");
    task.FileName = L"never-downloaded.dat";
    InstallDownloadedFile(task, window);
    EXPECT_EQ(window.Status.back(), L"重命名文件失败 [never-downloaded.dat]");
}

TEST_F(FileInstallerTest, StartsAndRegistersTheInstalledFileAsAsked) {
    // A folder with a space: the registration must still reach regsvr32 as one path.
    CreateDirectoryW(folder.Path(L"with space").c_str(), nullptr);
    CInetFile program;
    program.Execute = true;
    program.ExecutePar = L"--after-update 1";
    Download(program, L"with space\\notice.exe",
             ReadFileBytes(TestProgramPath(L"StartRecorder.exe")));
    InstallDownloadedFile(program, window);

    CInetFile library;
    library.Register = true;
    Download(library, L"with space\\GameCore.dll",
             ReadFileBytes(TestProgramPath(L"GameCore_1_0_0_10.dll")));
    InstallDownloadedFile(library, window);

    EXPECT_TRUE(WaitForFileContaining(folder.Path(L"with space\\started.log"),
                                      "notice.exe --after-update 1"));
    EXPECT_TRUE(WaitForFileContaining(folder.Path(L"with space\\registered.log"), "GameCore.dll",
                                      /*utf16=*/true));
}

TEST_F(FileInstallerTest, LaunchGameHallStartsItFromTheCurrentDirectoryAndQuits) {
    WriteFileBytes(folder.Path(L"Halvenport.exe"),
                   ReadFileBytes(TestProgramPath(L"StartRecorder.exe")));
    CurrentDirectoryScope cwd(folder.Path(L""));
    LaunchGameHall(window);

    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, window.WindowHandle(), WM_QUIT, WM_QUIT, PM_REMOVE) ||
                ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_TRUE(WaitForFileContaining(folder.Path(L"started.log"), "Halvenport.exe"));
}
