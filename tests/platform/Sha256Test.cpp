#include "platform/Sha256.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>

using testsupport::TempFolder;
using testsupport::WriteFileBytes;

namespace {

std::wstring HexOf(std::string_view bytes) {
    std::optional<Sha256Digest> digest = Sha256Of(bytes);
    return digest ? FormatSha256(*digest) : L"(failed)";
}

// Bytes that differ from piece to piece, so that a piece hashed twice or skipped shows.
std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i * 7 % 251);
    }
    return bytes;
}

} // namespace

TEST(Sha256, KnownVectors) {
    EXPECT_EQ(HexOf(""), L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(HexOf("abc"), L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(HexOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              L"248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(Sha256, PiecesOfAnySizeGiveTheDigestOfTheWhole) {
    // One million 'a' in pieces of uneven sizes, some empty, some across block boundaries.
    Sha256 hasher;
    const std::string as(100000, 'a');
    size_t fed = 0;
    for (size_t piece = 0; fed < 1000000; piece = (piece * 31 + 17) % 99991) {
        size_t size = std::min(piece, 1000000 - fed);
        hasher.Update(as.data(), size);
        fed += size;
    }
    std::optional<Sha256Digest> digest = hasher.Finish();
    ASSERT_TRUE(digest);
    EXPECT_EQ(FormatSha256(*digest),
              L"cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    // A finished hasher gives no second digest, whatever is fed to it afterwards.
    hasher.Update("more");
    EXPECT_FALSE(hasher.Finish());
}

TEST(Sha256, FilesAreHashedWholeAcrossReadPieces) {
    TempFolder folder;
    WriteFileBytes(folder / L"pattern.bin", Pattern(200000)); // three 64 KiB pieces and a rest
    WriteFileBytes(folder / L"empty.bin", "");
    std::optional<Sha256Digest> digest = Sha256OfFile(folder / L"pattern.bin");
    ASSERT_TRUE(digest);
    EXPECT_EQ(FormatSha256(*digest),
              L"ff41b7e9cc397e9de1484b9ba8bd73b47c1bdfbc363d738bde401789cca5ef56");
    digest = Sha256OfFile(folder / L"empty.bin");
    ASSERT_TRUE(digest);
    EXPECT_EQ(*digest, Sha256Of(""));
    EXPECT_FALSE(Sha256OfFile(folder / L"missing.bin"));
    EXPECT_FALSE(Sha256OfFile(folder.Path())); // a folder is not a file
}

TEST(Sha256, HexTextIsExactlySixtyFourLowerCaseDigits) {
    const std::wstring text = L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    std::optional<Sha256Digest> digest = ParseSha256(text);
    ASSERT_TRUE(digest);
    EXPECT_EQ(*digest, Sha256Of("abc"));
    EXPECT_EQ(FormatSha256(*digest), text);

    std::wstring upper = text;
    upper[0] = L'B';
    std::wstring notHex = text;
    notHex[63] = L'g';
    for (const std::wstring& bad : {upper, notHex, text.substr(1), text + L"0", L" " + text,
                                    text.substr(0, 63) + L"\xFF10", std::wstring()}) {
        EXPECT_FALSE(ParseSha256(bad)) << bad.size();
    }
}
