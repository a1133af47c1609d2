#include "manifest/UpdatePlan.h"
#include "manifest/ManifestReader.h"

#include "TestFiles.h"
#include "platform/ComPtr.h"
#include "platform/WideString.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <vector>

using namespace manifest;

namespace {

class LoadManifest : public ::testing::Test {
protected:
    // Loads `document` written as is to a file; the entries are taken off the list.
    bool Load(std::string_view document) {
        WriteFileBytes(folder_ / L"manifest.xml", document);
        return LoadFile(folder_ / L"manifest.xml");
    }
    bool LoadFile(const std::wstring& path) {
        std::optional<std::deque<FileEntry>> loaded = manifest::LoadManifest(path, folders_);
        entries_ = loaded.value_or(std::deque<FileEntry>{});
        return loaded.has_value();
    }

    ComInit com_;
    TempFolder folder_;
    const BaseFolders folders_ = ThisMachinesFolders();
    std::deque<FileEntry> entries_;
};

} // namespace

TEST(ManifestValues, DecimalNumbersWrapLikeThirtyTwoBitAtoi) {
    EXPECT_EQ(ParseDecimal(L"4294967295"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseDecimal(L"-1"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseDecimal(L"4294967296"), 0u);
    EXPECT_EQ(ParseDecimal(L"99999999999999999999"), 1661992959u);
    EXPECT_EQ(ParseDecimal(L" \t\r\n+12abc"), 12u);
    EXPECT_EQ(ParseDecimal(L"-2"), 0xFFFFFFFEu);
    for (const wchar_t* zero : {L"", L"abc", L"+-1", L"- 1",
                                L"\x3000"
                                L"1",
                                L"\xFF11"}) {
        EXPECT_EQ(ParseDecimal(zero), 0u) << WideToUtf8(zero);
    }
}

TEST(ManifestValues, FlagsAreYesInAnyCase) {
    for (const wchar_t* yes : {L"YES", L"yes", L"Yes"}) {
        EXPECT_TRUE(ParseFlag(yes));
    }
    for (const wchar_t* no : {L"", L"Y", L"TRUE", L"1", L" YES", L"YESS"}) {
        EXPECT_FALSE(ParseFlag(no)) << WideToUtf8(no);
    }
}

TEST_F(LoadManifest, ReadsEveryKeyOfAnEntry) {
    ASSERT_TRUE(Load(R"(<?xml version="1.0" encoding="UTF-8"?>
<UpdateList>
  <File>
    <FileName>a.dll</FileName><FileVersion>1.0.0.2</FileVersion><Length>40960</Length>
    <InstallDir>SYSTEMDIR</InstallDir><Register>YES</Register><URL>http://h/a.dll</URL>
  </File>
  <File Note="attributes are ignored" FileName="no.dll">
    <filename>大厅.exe</filename><PRODUCTVERSION>2.0</PRODUCTVERSION><zipfile>yes</zipfile>
    <ForceOverwrite>Yes</ForceOverwrite><Execute>YES</Execute><ExecutePar>/s 1</ExecutePar>
    <LocalPath>skin\img</LocalPath><FileDateLow>4294967295</FileDateLow>
    <FileDateHigh>-1</FileDateHigh><Length>3000000000</Length><UserName>u</UserName>
    <Password>p&amp;w</Password><Unknown>x</Unknown><!-- a comment --><?FileName pi.dll?>
  </File>
</UpdateList>)"));
    ASSERT_EQ(entries_.size(), 2u);
    const FileEntry& a = entries_[0];
    EXPECT_EQ(a.TargetPath, folders_.System + L"\\a.dll");
    EXPECT_EQ(a.FileVersion, L"1.0.0.2");
    EXPECT_EQ(a.Length, 40960);
    EXPECT_EQ(a.URL, L"http://h/a.dll");
    EXPECT_TRUE(a.Register);
    EXPECT_FALSE(a.Execute || a.NeedsUpdate);
    EXPECT_EQ(a.FileTime.dwLowDateTime | a.FileTime.dwHighDateTime, 0u);
    EXPECT_TRUE(a.LocalPath.empty() && a.ExecutePar.empty());

    const FileEntry& b = entries_[1];
    EXPECT_EQ(b.FileName, L"大厅.exe");
    EXPECT_EQ(b.TargetPath, folders_.Program + L"\\skin\\img\\大厅.exe");
    EXPECT_TRUE(b.Execute);
    EXPECT_FALSE(b.Register);
    EXPECT_EQ(b.ExecutePar, L"/s 1");
    EXPECT_EQ(b.FileTime.dwLowDateTime & b.FileTime.dwHighDateTime, 0xFFFFFFFFu);
    EXPECT_LT(b.Length, 0);
    EXPECT_EQ(static_cast<uint32_t>(b.Length), 3000000000u);
    // Keys read and ignored are still keys; an unknown one is not.
    FileEntry ignored;
    for (const wchar_t* key :
         {L"ProductVersion", L"ZipFile", L"forceoverwrite", L"UserName", L"Password"}) {
        EXPECT_TRUE(ApplyManifestValue(ignored, key, L"YES")) << WideToUtf8(key);
    }
    EXPECT_FALSE(ApplyManifestValue(ignored, L"Unknown", L"x"));
}

TEST_F(LoadManifest, FileElementsBelowTheRootInDocumentOrder) {
    // The root is never an entry, even when named File; lower-case file is another element.
    ASSERT_TRUE(Load("<File><FileName>root</FileName></File>"));
    EXPECT_TRUE(entries_.empty());

    ASSERT_TRUE(Load("<R><Group><File><FileName>outer</FileName>"
                     "<File><FileName>inner</FileName></File></File></Group>"
                     "<file><FileName>lower</FileName></file>"
                     "<File><FileName>first</FileName><FileName>last</FileName>"
                     "<Register>YES</Register><Register>no</Register></File></R>"));
    ASSERT_EQ(entries_.size(), 3u);
    EXPECT_EQ(entries_[0].FileName, L"outer");
    EXPECT_EQ(entries_[1].FileName, L"inner");
    EXPECT_EQ(entries_[2].FileName, L"last");
    EXPECT_FALSE(entries_[2].Register);
}

TEST_F(LoadManifest, InstallDirAndLocalPathComposeTheTargetPath) {
    ASSERT_TRUE(Load(R"(<R>
  <File><FileName>a</FileName><InstallDir>systemdir</InstallDir></File>
  <File><FileName>b</FileName><InstallDir>WindowsDir</InstallDir><LocalPath>x</LocalPath></File>
  <File><FileName>c</FileName><InstallDir>CURRENTDIR</InstallDir></File>
  <File><FileName>d</FileName><InstallDir>D:\Games</InstallDir></File>
  <File><FileName>e</FileName><InstallDir></InstallDir><LocalPath>\skin\</LocalPath></File>
  <File><LocalPath>..\up</LocalPath></File>
  <File></File>
</R>)"));
    ASSERT_EQ(entries_.size(), 7u);
    const std::wstring& program = folders_.Program;
    EXPECT_EQ(entries_[0].TargetPath, folders_.System + L"\\a");
    EXPECT_EQ(entries_[1].TargetPath, folders_.Windows + L"\\x\\b");
    EXPECT_EQ(entries_[2].TargetPath, program + L"\\c");
    EXPECT_EQ(entries_[3].TargetPath, program + L"\\d");
    EXPECT_EQ(entries_[4].TargetPath, program + L"\\\\skin\\\\e");
    EXPECT_EQ(entries_[5].TargetPath, program + L"\\..\\up\\");
    EXPECT_EQ(entries_[6].TargetPath, program + L"\\");
    EXPECT_EQ(entries_[6].InstallDir, L"CURRENTDIR");
}

TEST_F(LoadManifest, DeclaredEncodingIsDecoded) {
    // "大厅" in GBK.
    ASSERT_TRUE(Load("<?xml version=\"1.0\" encoding=\"GBK\"?>"
                     "<R><File><FileName>\xB4\xF3\xCC\xFC.exe</FileName></File></R>"));
    ASSERT_EQ(entries_.size(), 1u);
    EXPECT_EQ(entries_[0].FileName, L"大厅.exe");
}

TEST_F(LoadManifest, BadDocumentsGiveFalseAndAnEmptyList) {
    ASSERT_TRUE(Load("<R><File/><File/></R>"));
    EXPECT_EQ(entries_.size(), 2u);

    using namespace std::string_literals;
    const std::string bad[] = {"",
                               "   ",
                               "<R><File></R>",
                               "not xml at all",
                               "<?xml version=\"1.0\"?>",
                               "\x00\x01\xFF\xFE garbage"s};
    for (const std::string& document : bad) {
        ASSERT_TRUE(Load("<R><File/></R>"));
        EXPECT_FALSE(Load(document)) << document;
        EXPECT_TRUE(entries_.empty());
    }
    EXPECT_FALSE(LoadFile(folder_ / L"missing.xml"));
    EXPECT_FALSE(LoadFile(folder_.Path())); // a folder
    EXPECT_FALSE(LoadFile(L""));

    ASSERT_TRUE(Load("<R><Other/></R>"));
    EXPECT_TRUE(entries_.empty());
}

TEST_F(LoadManifest, LargeManifestsAndLongValuesLoadWhole) {
    std::string longUrl = "http://h/" + std::string(200000, 'u');
    std::string document = "<R><File><URL>" + longUrl + "</URL></File>";
    for (int i = 0; i < 10000; ++i) {
        document += "<File><FileName>f" + std::to_string(i) + "</FileName></File>";
    }
    ASSERT_TRUE(Load(document + "</R>"));
    ASSERT_EQ(entries_.size(), 10001u);
    EXPECT_EQ(entries_[0].URL, Utf8ToWide(longUrl));
    EXPECT_EQ(entries_[10000].FileName, L"f9999");
}

TEST_F(LoadManifest, OnlyAWellFormedSha256IsADigest) {
    const std::string digest(64, 'a');
    ASSERT_TRUE(Load("<R><File><Sha256>" + digest +
                     "</Sha256></File>"
                     "<File><sha256>" +
                     std::string(64, 'A') +
                     "</sha256></File>"
                     "<File><Sha256>" +
                     digest +
                     "0</Sha256></File>"
                     "<File><Sha256>" +
                     digest.substr(1) +
                     "g</Sha256></File>"
                     "<File><Sha256>" +
                     digest + "</Sha256><Sha256/></File><File/></R>"));
    ASSERT_EQ(entries_.size(), 6u);
    ASSERT_TRUE(entries_[0].Sha256);
    EXPECT_EQ(FormatSha256(*entries_[0].Sha256), Utf8ToWide(digest));
    for (size_t i = 1; i < entries_.size(); ++i) {
        EXPECT_FALSE(entries_[i].Sha256) << i;
    }
}

// A manifest arrives from the network: its entities must neither read local files into values
// nor make the reader fetch other addresses.
TEST_F(LoadManifest, ExternalEntitiesAreNeitherReadNorFetched) {
    testsupport::TestHttpServer server;
    ASSERT_TRUE(server.Start()) << server.Error();
    server.Serve("/entity", testsupport::Response::Text("REMOTE"));
    WriteFileBytes(folder_ / L"secret.txt", "SECRET");
    std::wstring fileUrl = L"file:///" + (folder_ / L"secret.txt");
    for (wchar_t& c : fileUrl) {
        c = c == L'\\' ? L'/' : c;
    }
    const std::string document = "<?xml version=\"1.0\"?>\n<!DOCTYPE R [\n"
                                 "  <!ENTITY local SYSTEM \"" +
                                 WideToUtf8(fileUrl) +
                                 "\">\n"
                                 "  <!ENTITY remote SYSTEM \"" +
                                 server.Url("/entity") +
                                 "\">\n"
                                 "]>\n<R><File><FileName>a&local;</FileName>"
                                 "<URL>b&remote;</URL></File></R>";
    // Refusing the document as a whole is as good as reading the entities as nothing.
    if (Load(document)) {
        ASSERT_EQ(entries_.size(), 1u);
        EXPECT_EQ(entries_[0].FileName, L"a");
        EXPECT_EQ(entries_[0].URL, L"b");
    }
    ::Sleep(200);
    EXPECT_TRUE(server.Requests().empty());
}
