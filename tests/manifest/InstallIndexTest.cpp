#include "manifest/InstallIndex.h"

#include "TestFiles.h"
#include "manifest/FileEntry.h"
#include "manifest/UpdatePlan.h"

#include <gtest/gtest.h>

using namespace manifest;

namespace {

constexpr uint64_t kLocalTime = 132000000000000000ull;

Sha256Digest DigestOf(std::string_view text) {
    return Sha256Of(text).value();
}

class InstallIndexTest : public ::testing::Test {
protected:
    InstallIndexTest() {
        // v1.0.0.9 on disk, while the manifest offers 1.0.0.10: by version, out of date.
        CopyTo(VersionedDll(L"v1_0_0_9"), old_);
        SetLastWriteTime(old_, MakeFileTime(kLocalTime));
        // v1.0.0.10 on disk, but with other bytes than the release's: by version, current.
        CopyTo(VersionedDll(L"v1_0_0_10"), changed_);
        SetLastWriteTime(changed_, MakeFileTime(kLocalTime));
    }

    FileEntry Entry(const std::wstring& path, std::string_view published) {
        FileEntry entry(path);
        entry.FileVersion = L"1.0.0.10";
        entry.Sha256 = DigestOf(published);
        return entry;
    }

    InstallRecord RecordOf(const std::wstring& path, std::string_view bytes) {
        InstallRecord record;
        EXPECT_TRUE(ReadFileStamp(path, record));
        record.Digest = DigestOf(bytes);
        return record;
    }

    // The decisions for both files: [old_, changed_].
    std::vector<bool> Decide(const InstallIndex* index) {
        std::vector<bool> out;
        for (const std::wstring* path : {&old_, &changed_}) {
            FileEntry entry = Entry(*path, "release bytes");
            out.push_back(entry.CheckNeedsUpdate(index));
        }
        return out;
    }

    TempFolder folder_;
    std::wstring old_ = folder_ / L"old.dll";
    std::wstring changed_ = folder_ / L"changed.dll";
    std::wstring indexPath_ = InstallIndex::PathIn(folder_.Path());
};

} // namespace

TEST_F(InstallIndexTest, ARecordedFileIsJudgedByItsDigestAlone) {
    InstallIndex index;
    // The old file was installed from the current release; the "changed" one from another.
    index.Record(old_, RecordOf(old_, "release bytes"));
    index.Record(changed_, RecordOf(changed_, "other bytes"));
    EXPECT_EQ(Decide(&index), (std::vector<bool>{false, true}));
    EXPECT_EQ(Decide(nullptr), (std::vector<bool>{true, false}));

    // A manifest without a digest, or a file touched since (size or time), goes by the rule.
    FileEntry noDigest(old_);
    noDigest.FileVersion = L"1.0.0.10";
    EXPECT_TRUE(noDigest.CheckNeedsUpdate(&index));
    SetLastWriteTime(old_, MakeFileTime(kLocalTime + 1));
    WriteFileBytes(changed_, "same time, other size");
    SetLastWriteTime(changed_, MakeFileTime(kLocalTime));
    EXPECT_EQ(Decide(&index), (std::vector<bool>{true, true}));
}

TEST_F(InstallIndexTest, SavedRecordsComeBackUnderAnySpellingOfThePath) {
    InstallIndex index;
    index.Record(old_, RecordOf(old_, "release bytes"));
    const std::wstring other = folder_ / L"sub dir\\名字.dll";
    index.Record(other, {7, 8, DigestOf("x")});
    ASSERT_TRUE(index.Save(indexPath_));
    EXPECT_FALSE(PathExists(indexPath_ + L".new"));

    const InstallIndex loaded = InstallIndex::Load(indexPath_);
    EXPECT_EQ(loaded.Size(), 2u);
    EXPECT_FALSE(loaded.Changed());
    std::wstring upper = old_;
    for (wchar_t& c : upper) {
        c = static_cast<wchar_t>(::towupper(c));
    }
    const InstallRecord* found = loaded.Find(upper);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->Digest, DigestOf("release bytes"));
    ASSERT_NE(loaded.Find(other), nullptr);
    EXPECT_EQ(loaded.Find(other)->Size, 7u);
    EXPECT_EQ(loaded.Find(folder_ / L"missing.dll"), nullptr);
}

TEST_F(InstallIndexTest, ALostOrDamagedIndexChangesNothingButSpeed) {
    const std::vector<bool> byRule = Decide(nullptr);
    InstallIndex good;
    good.Record(old_, RecordOf(old_, "release bytes"));
    good.Record(changed_, RecordOf(changed_, "other bytes"));
    ASSERT_TRUE(good.Save(indexPath_));
    const std::string bytes = ReadFileBytes(indexPath_).value();

    std::vector<std::string> damaged = {
        "",
        "garbage",
        bytes.substr(0, bytes.size() / 2),                            // cut short
        bytes.substr(0, bytes.rfind("seal")),                         // without its seal
        bytes + "0123 1 2 C:\\extra.dll\n",                           // a line after the seal
        "Refreshor install index 2" + bytes.substr(bytes.find('\n')), // another format
    };
    // One digit of a record changed: the seal no longer matches.
    std::string flipped = bytes;
    flipped[bytes.find('\n') + 1] = flipped[bytes.find('\n') + 1] == 'a' ? 'b' : 'a';
    damaged.push_back(flipped);

    for (const std::string& text : damaged) {
        WriteFileBytes(indexPath_, text);
        const InstallIndex loaded = InstallIndex::Load(indexPath_);
        EXPECT_EQ(loaded.Size(), 0u) << text;
        EXPECT_EQ(Decide(&loaded), byRule) << text;
    }
    ::DeleteFileW(indexPath_.c_str());
    const InstallIndex lost = InstallIndex::Load(indexPath_);
    EXPECT_EQ(Decide(&lost), byRule);
}

TEST_F(InstallIndexTest, OnlyAFileUnchangedSinceItsVerificationIsRecorded) {
    InstallIndex index;
    const InstallRecord verified = RecordOf(old_, "release bytes");
    index.RecordIfUnchanged(old_, verified);
    EXPECT_NE(index.Find(old_), nullptr);

    InstallRecord stale = verified;
    stale.LastWrite += 1;
    index.RecordIfUnchanged(changed_, stale);
    index.RecordIfUnchanged(folder_ / L"missing.dll", verified);
    EXPECT_EQ(index.Find(changed_), nullptr);
    EXPECT_EQ(index.Find(folder_ / L"missing.dll"), nullptr);
}
