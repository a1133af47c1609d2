// A manifest written by publish-manifest, read back by the updater's own manifest reader: every
// entry, path, version, time and flag the updater reads must come back as published, and the
// updater must judge the published files themselves current.

#include "manifest/UpdatePlan.h"
#include "platform/ComPtr.h"
#include "publish/PathText.h"
#include "publish/Publisher.h"

#include "TestFiles.h"

#include <windows.h>

#include <gtest/gtest.h>

using namespace manifest;

namespace fs = std::filesystem;
using namespace publish;

namespace {

class FailOnError final : public MessageSink {
public:
    void Error(const std::string& text) override { ADD_FAILURE() << text; }
    void Warning(const std::string& text) override { ADD_FAILURE() << text; }
    void Note(const std::string&) override {}
};

uint64_t LastWriteTime(const fs::path& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    EXPECT_TRUE(::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
    return (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

void SetLastWriteTime(const fs::path& path, uint64_t time) {
    HANDLE file =
        ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const FILETIME t{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
    EXPECT_TRUE(::SetFileTime(file, nullptr, nullptr, &t));
    ::CloseHandle(file);
}

struct Expected {
    std::wstring FileName, LocalPath, FileVersion;
    fs::path Source;
    std::wstring InstallDir = L"CURRENTDIR";
    bool Register = false, Execute = false;
    std::wstring ExecutePar, URL;
};

class ManifestRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(com_.result()));
        release_ = folder_.Path() / "release";
        Add("setup.exe", TestImage("high64.exe"));
        Add("sys/version64.dll", TestImage("version64.dll"));
        Add("win/a.ini", {});
        Add("skin/\xE5\x9B\xBE\xE7\x89\x87/b & c.bmp", {});
        Add("\xE4\xB8\xAD\xE6\x96\x87  \xE5\x90\x8D.txt", {}); // two blanks inside the name
        // A length above 2^31, which the reader takes as a signed 32-bit number.
        const fs::path big = Add("big.bin", {});
        fs::resize_file(big, 3000000000u);
        // A time whose low word is above 2^31 and odd.
        SetLastWriteTime(Path("skin/\xE5\x9B\xBE\xE7\x89\x87/b & c.bmp"), 0x01DAB0C1FFFFFFF1u);

        PublishRequest request;
        request.ReleaseFolder = release_;
        request.BaseAddress = "http://127.0.0.1:18080/game/";
        request.ManifestPath = folder_.Path() / "UpDataGame.xml";
        request.Rules = {{false, "setup.exe:Execute=YES"},
                         {false, "setup.exe:ExecutePar=/S /lang=\"zh & en\" <x>"},
                         {false, "setup.exe:ForceOverwrite=YES"},
                         {false, "sys/*:InstallDir=SYSTEMDIR"},
                         {false, "*.dll:Register=YES"},
                         {false, "win/**:InstallDir=WINDOWSDIR"},
                         {false, "*.ini:ZipFile=YES"}};
        FailOnError sink;
        ASSERT_TRUE(Publish(request, sink));
        std::optional<std::deque<FileEntry>> loaded =
            LoadManifest(request.ManifestPath.wstring(), folders_);
        ASSERT_TRUE(loaded);
        list_ = std::move(*loaded);
    }

    fs::path Path(const std::string& relative) const { return release_ / PathFromUtf8(relative); }
    fs::path Add(const std::string& relative, const fs::path& copyOf) {
        const fs::path path = Path(relative);
        fs::create_directories(path.parent_path());
        if (copyOf.empty()) {
            WriteAll(path, relative);
        } else {
            fs::copy_file(copyOf, path);
        }
        return path;
    }

    ComInit com_;
    TemporaryFolder folder_;
    fs::path release_;
    const BaseFolders folders_ = ThisMachinesFolders();
    std::deque<FileEntry> list_;
};

} // namespace

TEST_F(ManifestRoundTrip, EveryFieldComesBackAsPublished) {
    const std::wstring base = L"http://127.0.0.1:18080/game/";
    std::vector<Expected> expected(6);
    expected[0].FileName = L"big.bin";
    expected[0].URL = base + L"big.bin";
    expected[1].FileName = L"setup.exe";
    expected[1].FileVersion = L"65535.0.10.9";
    expected[1].Execute = true;
    expected[1].ExecutePar = L"/S /lang=\"zh & en\" <x>";
    expected[1].URL = base + L"setup.exe";
    expected[2].FileName = L"b & c.bmp";
    expected[2].LocalPath = L"skin\\\u56FE\u7247";
    expected[2].URL = base + L"skin/%E5%9B%BE%E7%89%87/b%20%26%20c.bmp";
    expected[3].FileName = L"version64.dll";
    expected[3].LocalPath = L"sys";
    expected[3].FileVersion = L"1.2.3.4";
    expected[3].InstallDir = L"SYSTEMDIR";
    expected[3].Register = true;
    expected[3].URL = base + L"sys/version64.dll";
    expected[4].FileName = L"a.ini";
    expected[4].LocalPath = L"win";
    expected[4].InstallDir = L"WINDOWSDIR";
    expected[4].URL = base + L"win/a.ini";
    expected[5].FileName = L"\u4E2D\u6587  \u540D.txt";
    expected[5].URL = base + L"%E4%B8%AD%E6%96%87%20%20%E5%90%8D.txt";

    ASSERT_EQ(list_.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const Expected& e = expected[i];
        const FileEntry* entry = &list_[i];
        SCOPED_TRACE(fs::path(e.FileName).string());
        const fs::path source = release_ / e.LocalPath / e.FileName;
        EXPECT_EQ(entry->FileName, e.FileName);
        EXPECT_EQ(entry->LocalPath, e.LocalPath);
        EXPECT_EQ(entry->FileVersion, e.FileVersion);
        EXPECT_EQ(static_cast<uint32_t>(entry->Length), fs::file_size(source));
        const uint64_t time =
            (uint64_t{entry->FileTime.dwHighDateTime} << 32) | entry->FileTime.dwLowDateTime;
        EXPECT_EQ(time, LastWriteTime(source));
        EXPECT_EQ(entry->InstallDir, e.InstallDir);
        EXPECT_EQ(entry->Register, e.Register);
        EXPECT_EQ(entry->Execute, e.Execute);
        EXPECT_EQ(entry->ExecutePar, e.ExecutePar);
        EXPECT_EQ(entry->URL, e.URL);
        const std::wstring& folder = e.InstallDir == L"SYSTEMDIR"    ? folders_.System
                                     : e.InstallDir == L"WINDOWSDIR" ? folders_.Windows
                                                                     : folders_.Program;
        EXPECT_EQ(entry->TargetPath,
                  folder + L"\\" + (e.LocalPath.empty() ? L"" : e.LocalPath + L"\\") + e.FileName);
    }
}

// The published files themselves, and copies written later (as a download writes them), are
// current; an unversioned local copy one tick older than the published file is not.
TEST_F(ManifestRoundTrip, TheUpdaterJudgesThePublishedFilesCurrent) {
    ASSERT_EQ(list_.size(), 6u);
    for (FileEntry& file : list_) {
        FileEntry* entry = &file;
        const fs::path source = release_ / entry->LocalPath / entry->FileName;
        entry->TargetPath = source.wstring();
        EXPECT_FALSE(entry->CheckNeedsUpdate()) << source.string();
        if (fs::file_size(source) > 1000000) {
            continue; // the sparse file: not worth copying
        }

        const fs::path downloaded = folder_.Path() / "downloaded.bin";
        fs::remove(downloaded); // mingw's copy_file does not overwrite
        fs::copy_file(source, downloaded);
        SetLastWriteTime(downloaded, LastWriteTime(source) + 10000000); // a second later
        entry->TargetPath = downloaded.wstring();
        EXPECT_FALSE(entry->CheckNeedsUpdate()) << source.string();

        if (entry->FileVersion.empty()) {
            SetLastWriteTime(downloaded, LastWriteTime(source) - 1);
            EXPECT_TRUE(entry->CheckNeedsUpdate()) << source.string();
            entry->NeedsUpdate = false;
        }
    }
}
