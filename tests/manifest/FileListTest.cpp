#include "manifest/FileList.h"

#include "TestFiles.h"
#include "platform/ComPtr.h"
#include "platform/WideString.h"

#include <gtest/gtest.h>

namespace {

std::string Entry(const std::wstring& localPath, const char* name, const char* extra) {
    return "<File><LocalPath>" + WideToUtf8(localPath) + "</LocalPath><FileName>" + name +
           "</FileName>" + extra + "</File>";
}

} // namespace

TEST(FileList, FoldersAreTheProgramWindowsAndSystemFolders) {
    FileList files;
    EXPECT_EQ(files.ProgramFolder(), TestProgramFolder());
    EXPECT_NE(files.ProgramFolder().back(), L'\\');
    wchar_t folder[MAX_PATH];
    ::GetWindowsDirectoryW(folder, MAX_PATH);
    EXPECT_EQ(files.WindowsFolder(), folder);
    ::GetSystemDirectoryW(folder, MAX_PATH);
    EXPECT_EQ(files.SystemFolder(), folder);
}

TEST(FileList, KeepOutdatedKeepsOutOfDateEntriesInManifestOrder) {
    ComInit com;
    TempFolder scratch;
    CopyTo(VersionedDll(L"v1_0_0_9"), scratch / L"old.dll");
    CopyTo(VersionedDll(L"v1_0_0_10"), scratch / L"current.dll");
    WriteBytes(scratch / L"dated.txt", "x");
    // A day in 2019: high word 30733644, low word 4133094376.
    SetLastWriteTime(scratch / L"dated.txt", MakeFileTime(132000000000000000ull + 1000));

    std::string manifest =
        "<Files>" + Entry(scratch.Name(), "missing.dll", "<Length>3000000000</Length>") +
        Entry(scratch.Name(), "current.dll",
              "<FileVersion>1.0.0.10</FileVersion><ForceOverwrite>YES</ForceOverwrite>"
              "<Length>77</Length>") +
        Entry(scratch.Name(), "old.dll",
              "<FileVersion>1.0.0.10</FileVersion><Length>2000000000</Length>") +
        Entry(scratch.Name(), "dated.txt",
              "<FileDateHigh>30733644</FileDateHigh><FileDateLow>4133094376</FileDateLow>"
              "<Length>5</Length>") +
        Entry(scratch.Name(), "dated.txt",
              "<FileDateHigh>30733644</FileDateHigh><FileDateLow>4133094377</FileDateLow>"
              "<Length>300</Length>") +
        "</Files>";
    WriteBytes(scratch / L"manifest.xml", manifest);

    FileList files;
    ASSERT_TRUE(files.LoadManifest(scratch / L"manifest.xml"));
    EXPECT_EQ(files.TotalLength(), 0u); // nothing decided yet
    EXPECT_EQ(files.KeepOutdated(), 3u);
    // 3000000000 + 2000000000 + 300 wraps modulo 2^32.
    EXPECT_EQ(files.TotalLength(), 705033004u);
    EXPECT_EQ(files.TotalLength() / 1024, 688508u);

    const char* expected[] = {"missing.dll", "old.dll", "dated.txt"};
    for (const char* name : expected) {
        std::unique_ptr<FileEntry> entry = files.PopFront();
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->FileName, Utf8ToWide(name));
        EXPECT_TRUE(entry->NeedsUpdate);
    }
    EXPECT_EQ(files.PopFront(), nullptr);
}
