#include "manifest/FileEntry.h"

#include "TestFiles.h"
#include "platform/UniqueHandle.h"

#include <gtest/gtest.h>

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
        if (std::wstring(source) != L"plain")
            return VersionedDll(source);
        WriteBytes(folder_ / L"plain.txt", "no version resource here");
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

TEST_F(UpdateDecision, ProbeReadsTheLocalFile) {
    CopyTo(VersionedDll(L"v1_0_0_10"), local_);
    SetLastWriteTime(local_, MakeFileTime(kLocalTime));
    FileEntry probe(local_);
    ASSERT_TRUE(probe.ReadLocalInfo());
    EXPECT_EQ(probe.FileName, L"local.dll");
    EXPECT_GT(probe.Length, 0);
    EXPECT_EQ(probe.VersionInfo.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(probe.FileVersion, L"1.0.0.10");
    EXPECT_EQ(probe.ProductVersion, L"65535.0.1.2");
    EXPECT_EQ(probe.FileTime.dwLowDateTime, MakeFileTime(kLocalTime).dwLowDateTime);
    EXPECT_EQ(probe.FileTime.dwHighDateTime, MakeFileTime(kLocalTime).dwHighDateTime);

    WriteBytes(folder_ / L"plain.txt", "12345");
    FileEntry plain(folder_ / L"plain.txt");
    plain.FileVersion = L"kept";
    ASSERT_TRUE(plain.ReadLocalInfo());
    EXPECT_EQ(plain.Length, 5);
    EXPECT_EQ(plain.FileVersion, L"kept");
    EXPECT_LT(plain.ReadVersionInfo(plain.TargetPath, plain.VersionInfo), 0);
    EXPECT_EQ(plain.VersionInfo.dwSignature, 0u);

    EXPECT_FALSE(FileEntry().ReadLocalInfo());
    EXPECT_FALSE(FileEntry(folder_ / L"missing.dll").ReadLocalInfo());
}

TEST(FileEntryResult, WindowsErrorsBecomeResultCodes) {
    EXPECT_EQ(ResultFromWindowsError(ERROR_ACCESS_DENIED), static_cast<HRESULT>(0x80070005));
    EXPECT_EQ(ResultFromWindowsError(0x12345), static_cast<HRESULT>(0x80072345));
    EXPECT_EQ(ResultFromWindowsError(0x8007000E), static_cast<HRESULT>(0x8007000E));
    EXPECT_EQ(ResultFromWindowsError(0), E_FAIL);

    FILETIME untouched = MakeFileTime(7);
    EXPECT_EQ(FileEntry::ReadLastWriteTime(L"Z:\\no\\such\\file.dll", untouched),
              HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(untouched.dwLowDateTime, 7u);
}
