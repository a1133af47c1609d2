#include "manifest/FileEntry.h"

#include "TestFiles.h"
#include "platform/UniqueHandle.h"

#include <gtest/gtest.h>

using namespace manifest;

namespace {

constexpr uint64_t kLocalTime = 132000000000000000ull; // a day in 2019

class UpdateDecision : public ::testing::Test {
protected:
    // The decision for a local copy of `source` (none: no local file) against a manifest entry.
    bool Decide(const wchar_t* source, const wchar_t* manifestVersion, uint64_t manifestTime = 0) {
        if (source) {
            CopyTo(VersionedDllOrPlain(source), local_);
            SetLastWriteTime(local_, MakeFileTime(kLocalTime));
        }
        FileEntry entry(local_);
        entry.FileVersion = manifestVersion;
        entry.FileTime = MakeFileTime(manifestTime);
        bool result = entry.CheckNeedsUpdate();
        EXPECT_EQ(result, entry.NeedsUpdate);
        return result;
    }

    std::wstring VersionedDllOrPlain(const wchar_t* source) {
        if (std::wstring(source) != L"plain") {
            return VersionedDll(source);
        }
        WriteFileBytes(folder_ / L"plain.txt", "no version resource here");
        return folder_ / L"plain.txt";
    }

    TempFolder folder_;
    std::wstring local_ = folder_ / L"local.dll";
};

} // namespace

TEST_F(UpdateDecision, MissingFileOrFolderIsOutOfDate) {
    EXPECT_TRUE(Decide(nullptr, L""));
    FileEntry inMissingFolder(folder_ / L"missing\\local.dll");
    EXPECT_TRUE(inMissingFolder.CheckNeedsUpdate());
}

TEST_F(UpdateDecision, FileHeldOpenForWritingOrUnsharedIsOutOfDate) {
    EXPECT_FALSE(Decide(L"v1_0_0_9", L"1.0.0.9"));
    for (DWORD share : {DWORD{FILE_SHARE_READ}, DWORD{0}}) {
        UniqueFile holder(::CreateFileW(local_.c_str(), GENERIC_WRITE, share, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder);
        FileEntry entry(local_);
        entry.FileVersion = L"1.0.0.9";
        EXPECT_TRUE(entry.CheckNeedsUpdate()) << "share mode " << share;
    }
}

TEST_F(UpdateDecision, VersionsCompareNumberByNumber) {
    EXPECT_TRUE(Decide(L"v1_0_0_9", L"1.0.0.10"));
    EXPECT_FALSE(Decide(L"v1_0_0_10", L"1.0.0.9")); // never a downgrade
    EXPECT_TRUE(Decide(L"v2_0_0_0", L"10.0.0.0"));
    EXPECT_FALSE(Decide(L"v10_0_0_0", L"2.0.0.0"));
    // Equal versions are current whatever the times say.
    EXPECT_FALSE(Decide(L"v1_0_0_10", L"1.0.0.10", kLocalTime + 1));
}

TEST_F(UpdateDecision, OtherVersionTextsCompareAsTextIgnoringCase) {
    EXPECT_TRUE(Decide(L"v1_0_0_9", L"1.0.0.9b"));
    EXPECT_FALSE(Decide(L"v1_0_0_9", L"1.0.0"));
    EXPECT_TRUE(Decide(L"v1_0_0_10", L"1.0.0.9 ")); // as text 1.0.0.10 sorts first
    EXPECT_TRUE(Decide(L"v1_0_0_9", L"V1"));
    // Without a version resource the local text is empty and sorts before any version.
    EXPECT_TRUE(Decide(L"plain", L"0.0.0.0"));

    EXPECT_EQ(CompareVersions(L"beta", L"BETA"), 0);
    EXPECT_GT(CompareVersions(L"1.2.3.4", L"1.2.3.04x"), 0);
    EXPECT_EQ(CompareVersions(L"1.2.3.4", L"01.2.3.4"), 0);
    EXPECT_GT(CompareVersions(L"1.2.3.4294967295", L"1.2.3.4294967294"), 0);
    EXPECT_LT(CompareVersions(L"1.2.3.4294967296", L"1.2.3.5"), 0); // too big for a number
}

TEST_F(UpdateDecision, WithoutVersionTheLastWriteTimeDecides) {
    EXPECT_TRUE(Decide(L"v1_0_0_9", L"", kLocalTime + 1));
    EXPECT_FALSE(Decide(L"v1_0_0_9", L"", kLocalTime));
    EXPECT_FALSE(Decide(L"plain", L"", kLocalTime - 1));
    EXPECT_FALSE(Decide(L"plain", L"", 0));
}

TEST_F(UpdateDecision, LocalVersionAndTimeAreReadFromTheFile) {
    CopyTo(VersionedDll(L"v1_0_0_10"), local_);
    SetLastWriteTime(local_, MakeFileTime(kLocalTime));
    EXPECT_EQ(ReadFileVersion(local_), L"1.0.0.10");
    std::optional<FILETIME> time = ReadLastWriteTime(local_);
    ASSERT_TRUE(time);
    EXPECT_EQ(time->dwLowDateTime, MakeFileTime(kLocalTime).dwLowDateTime);
    EXPECT_EQ(time->dwHighDateTime, MakeFileTime(kLocalTime).dwHighDateTime);

    WriteFileBytes(folder_ / L"plain.txt", "12345");
    EXPECT_FALSE(ReadFileVersion(folder_ / L"plain.txt"));
    EXPECT_TRUE(ReadLastWriteTime(folder_ / L"plain.txt"));

    EXPECT_FALSE(ReadFileVersion(L""));
    EXPECT_FALSE(ReadFileVersion(folder_ / L"missing.dll"));
    EXPECT_FALSE(ReadLastWriteTime(L"Z:\\no\\such\\file.dll"));
}
