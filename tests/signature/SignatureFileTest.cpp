#include "manifest/SignatureFile.h"

#include "support/SigningVectors.h"

#include <gtest/gtest.h>

#include <string>

using namespace signature_file;
using namespace signing_vectors;

namespace {

std::string DemoLine() {
    return std::string(kAlgorithm) + " " + std::string(kDemoKeyId) + " " +
           std::string(kDemoSignatureBase64);
}

// The status and line of the first problem, for compact expectations.
std::pair<ParseStatus, size_t> ProblemOf(std::string_view file) {
    ParseResult result = Parse(file);
    EXPECT_TRUE(result.Status == ParseStatus::Ok || result.Lines.empty());
    return {result.Status, result.LineNumber};
}

} // namespace

TEST(SignatureFile, ReadsEverySignatureLineAndSkipsCommentsAndEmptyLines) {
    const std::string other = std::string(kAlgorithm) + " " + std::string(kOtherKeyId) + " " +
                              std::string(kOtherSignatureBase64);
    ParseResult result = Parse("# signed 2026-12-08\n\n" + DemoLine() + "\r\n\r\n#\n" + other);
    ASSERT_EQ(result.Status, ParseStatus::Ok) << Describe(result);
    ASSERT_EQ(result.Lines.size(), 2u);
    EXPECT_EQ(FormatKeyId(result.Lines[0].KeyId), kDemoKeyId);
    EXPECT_EQ(result.Lines[0].Signature, kDemoSignature);
    EXPECT_EQ(FormatKeyId(result.Lines[1].KeyId), kOtherKeyId);
    EXPECT_EQ(FormatLine(result.Lines[0]), DemoLine());
    EXPECT_EQ(Describe(result), "");

    // Files without signatures are well-formed; refusing them is the caller's decision.
    EXPECT_EQ(Parse("").Lines.size(), 0u);
    EXPECT_EQ(ProblemOf("# nothing yet\n\n"), std::make_pair(ParseStatus::Ok, size_t{0}));
}

TEST(SignatureFile, AnythingElseIsMalformedWithItsLine) {
    const std::string good = DemoLine() + "\n";
    const std::string keyId(kDemoKeyId);
    const std::string signature(kDemoSignatureBase64);
    const std::string shortSignature = EncodeBase64(kDemoSignature.data(), 63);
    struct Case {
        std::string line;
        ParseStatus status;
    } cases[] = {
        {"ecdsa-p256-sha256", ParseStatus::BadLine},
        {"ecdsa-p256-sha256 " + keyId, ParseStatus::BadLine},
        {"ecdsa-p256-sha256  " + keyId + " " + signature, ParseStatus::BadLine},
        {"ecdsa-p256-sha256 " + keyId + " " + signature + " ", ParseStatus::BadLine},
        {"ecdsa-p256-sha256\t" + keyId + " " + signature, ParseStatus::NotText},
        {"#\tby hand", ParseStatus::NotText},
        {" # indented comment", ParseStatus::BadLine},
        {" ", ParseStatus::BadLine},
        {"ECDSA-P256-SHA256 " + keyId + " " + signature, ParseStatus::UnknownAlgorithm},
        {"ed25519 " + keyId + " " + signature, ParseStatus::UnknownAlgorithm},
        {"ecdsa-p256-sha256 DEE7629BE0C7A90F " + signature, ParseStatus::BadKeyId},
        {"ecdsa-p256-sha256 " + keyId + "00 " + signature, ParseStatus::BadKeyId},
        {"ecdsa-p256-sha256 " + keyId + " " + signature.substr(0, 86), ParseStatus::BadSignature},
        {"ecdsa-p256-sha256 " + keyId + " " + shortSignature, ParseStatus::BadSignature},
        // The same bytes but with spare bits set: two texts must not mean one signature.
        {"ecdsa-p256-sha256 " + keyId + " " + signature.substr(0, 85) + "x==",
         ParseStatus::BadSignature},
        {"ecdsa-p256-sha256 " + keyId + "\r" + signature, ParseStatus::NotText},
        {"# caf\xC3\xA9", ParseStatus::NotText},
        {std::string("\0", 1), ParseStatus::NotText},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProblemOf(good + "\n" + c.line + "\n" + good),
                  std::make_pair(c.status, size_t{3}))
            << c.line;
    }
    EXPECT_EQ(Describe(Parse(good + "rsa x y\n")), "line 2: unknown algorithm");
    // A carriage return belongs to a line end only with its line feed.
    EXPECT_EQ(ProblemOf(good + DemoLine() + "\r"), std::make_pair(ParseStatus::NotText, size_t{2}));
}

TEST(SignatureFile, FilesOverFourKibibytesAreRefusedWhole) {
    std::string file;
    while (file.size() + DemoLine().size() + 1 <= kMaxSize) {
        file += DemoLine() + "\n";
    }
    file.append(kMaxSize - file.size(), '#'); // a comment up to the limit exactly
    ASSERT_EQ(file.size(), kMaxSize);
    EXPECT_EQ(Parse(file).Status, ParseStatus::Ok);
    EXPECT_EQ(ProblemOf(file + "\n"), std::make_pair(ParseStatus::Oversized, size_t{0}));
    EXPECT_EQ(Describe(Parse(file + "#")), "larger than 4096 bytes");
}

TEST(Base64, RoundTripsAndRefusesNonCanonicalText) {
    const uint8_t bytes[] = {0xfb, 0xff, 0x00, 0x61};
    for (size_t size = 0; size <= 4; ++size) {
        std::string text = EncodeBase64(bytes, size);
        std::optional<std::vector<uint8_t>> back = DecodeBase64(text);
        ASSERT_TRUE(back) << text;
        EXPECT_EQ(*back, std::vector<uint8_t>(bytes, bytes + size));
    }
    EXPECT_EQ(EncodeBase64(bytes, 4), "+/8AYQ==");
    const std::pair<std::string_view, std::string_view> known[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}};
    for (const auto& [plain, encoded] : known) {
        EXPECT_EQ(EncodeBase64(reinterpret_cast<const uint8_t*>(plain.data()), plain.size()),
                  encoded);
    }
    for (std::string_view bad : {"+/8AYQ=", "+/8AYR==", "Zm9=", "+/8AYQ=A", "+/8=AYQ=", "====",
                                 "A===", "+/8 AYQ=", "-_8AYQ==", "+/8AYQ==\n"}) {
        EXPECT_FALSE(DecodeBase64(bad)) << bad;
    }
}

TEST(PublicKeyPem, ReadsTheCoordinatesOfAP256Key) {
    std::optional<PublicKey> key = ParsePublicKeyPem(kDemoKeyPem);
    ASSERT_TRUE(key);
    EXPECT_EQ(*key, kDemoKey);

    // Line ends of either kind, white space around the block, other line lengths.
    std::string crlf;
    for (char c : kDemoKeyPem) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    EXPECT_EQ(ParsePublicKeyPem("\n  " + crlf + "\r\n"), kDemoKey);
    std::string body =
        std::string(kDemoKeyPem.substr(27, 64)) + std::string(kDemoKeyPem.substr(92, 60));
    std::string oneLine = "-----BEGIN PUBLIC KEY-----\n" + body + "\n-----END PUBLIC KEY-----";
    EXPECT_EQ(ParsePublicKeyPem(oneLine), kDemoKey);
}

TEST(PublicKeyPem, WritesWhatItReads) {
    EXPECT_EQ(FormatPublicKeyPem(kDemoKey), kDemoKeyPem);
}

TEST(PublicKeyPem, RefusesOtherKeysAndOtherText) {
    const std::vector<uint8_t> der = *DecodeBase64(std::string(kDemoKeyPem.substr(27, 64)) +
                                                   std::string(kDemoKeyPem.substr(92, 60)));
    auto pemOf = [](const std::vector<uint8_t>& bytes) {
        return "-----BEGIN PUBLIC KEY-----\n" + EncodeBase64(bytes.data(), bytes.size()) +
               "\n-----END PUBLIC KEY-----\n";
    };
    ASSERT_EQ(ParsePublicKeyPem(pemOf(der)), kDemoKey);
    std::vector<uint8_t> compressed = der;
    compressed[26] = 0x03; // the point's form byte
    std::vector<uint8_t> otherCurve = der;
    otherCurve[22] = 0x08; // last byte of the curve's object identifier
    std::vector<uint8_t> longer = der;
    longer.push_back(0);
    std::vector<uint8_t> shorter = der;
    shorter.pop_back();

    const std::string pem(kDemoKeyPem);
    auto replaced = [&](std::string_view from, std::string_view to) {
        std::string text = pem;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const std::string cases[] = {
        pemOf(compressed),
        pemOf(otherCurve),
        pemOf(longer),
        pemOf(shorter),
        replaced("PUBLIC KEY", "PRIVATE KEY"),
        replaced("==\n-----END", "==-----END"),
        replaced("KEY-----\nMFkw", "KEY-----MFkw"),
        replaced("toeJdg", "toe Jdg"),
        "junk\n" + pem,
        pem + "junk\n",
        std::string(),
    };
    for (const std::string& text : cases) {
        EXPECT_FALSE(ParsePublicKeyPem(text)) << text;
    }
}
