#include "manifest/UpdatePlan.h"

#include "TestFiles.h"
#include "platform/ComPtr.h"
#include "platform/WideString.h"

#include <gtest/gtest.h>

using namespace manifest;

namespace {

std::string Entry(const std::wstring& localPath, const char* name, const char* extra) {
    return "<File><LocalPath>" + WideToUtf8(localPath) + "</LocalPath><FileName>" + name +
           "</FileName>" + extra + "</File>";
}

} // namespace

TEST(UpdatePlan, FoldersAreTheProgramWindowsAndSystemFolders) {
    const BaseFolders folders = ThisMachinesFolders();
    EXPECT_EQ(folders.Program, TestProgramFolder());
    EXPECT_NE(folders.Program.back(), L'\\');
    wchar_t folder[MAX_PATH];
    ::GetWindowsDirectoryW(folder, MAX_PATH);
    EXPECT_EQ(folders.Windows, folder);
    ::GetSystemDirectoryW(folder, MAX_PATH);
    EXPECT_EQ(folders.System, folder);
}

TEST(UpdatePlan, KeepOutdatedKeepsOutOfDateEntriesInManifestOrder) {
    ComInit com;
    // Beside the program, where a relative LocalPath reaches it.
    TempFolder scratch(TestProgramFolder());
    CopyTo(VersionedDll(L"v1_0_0_9"), scratch / L"old.dll");
    CopyTo(VersionedDll(L"v1_0_0_10"), scratch / L"current.dll");
    WriteFileBytes(scratch / L"dated.txt", "x");
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
    WriteFileBytes(scratch / L"manifest.xml", manifest);

    std::optional<std::deque<FileEntry>> files =
        LoadManifest(scratch / L"manifest.xml", ThisMachinesFolders());
    ASSERT_TRUE(files);
    EXPECT_EQ(TotalLength(*files), 0u); // nothing decided yet
    EXPECT_EQ(KeepOutdated(*files), 3u);
    // 3000000000 + 2000000000 + 300 wraps modulo 2^32.
    EXPECT_EQ(TotalLength(*files), 705033004u);
    EXPECT_EQ(TotalLength(*files) / 1024, 688508u);

    const char* expected[] = {"missing.dll", "old.dll", "dated.txt"};
    ASSERT_EQ(files->size(), std::size(expected));
    for (size_t i = 0; i < files->size(); ++i) {
        EXPECT_EQ((*files)[i].FileName, Utf8ToWide(expected[i]));
        EXPECT_TRUE((*files)[i].NeedsUpdate);
    }
}

TEST(UpdatePlan, KeepOutdatedDecidesManyEntriesInManifestOrder) {
    // Enough entries for the check to share them out among threads; each entry's Length tells
    // it apart, and every third entry's file is missing.
    ComInit com;
    TempFolder scratch(TestProgramFolder());
    CopyTo(VersionedDll(L"v1_0_0_10"), scratch / L"current.dll");
    std::string manifest = "<Files>";
    for (int i = 0; i < 300; ++i) {
        const std::string length = "<Length>" + std::to_string(i) + "</Length>";
        manifest += Entry(scratch.Name(), i % 3 == 0 ? "missing.dll" : "current.dll",
                          ("<FileVersion>1.0.0.10</FileVersion>" + length).c_str());
    }
    WriteFileBytes(scratch / L"manifest.xml", manifest + "</Files>");

    std::optional<std::deque<FileEntry>> files =
        LoadManifest(scratch / L"manifest.xml", ThisMachinesFolders());
    ASSERT_TRUE(files);
    ASSERT_EQ(KeepOutdated(*files), 100u);
    for (size_t i = 0; i < files->size(); ++i) {
        EXPECT_EQ((*files)[i].Length, static_cast<int64_t>(i * 3));
        EXPECT_TRUE((*files)[i].NeedsUpdate);
    }
}

TEST(UpdatePlan, EmptyPlanHasNothingToKeep) {
    std::deque<FileEntry> none;
    EXPECT_EQ(KeepOutdated(none), 0u);
    EXPECT_EQ(TotalLength(none), 0u);
}
