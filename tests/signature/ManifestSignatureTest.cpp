#include "manifest/ManifestSignature.h"

#include "ManifestKeys.h"
#include "support/TestFiles.h"
#include "support/SigningVectors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace signing_vectors;

using testsupport::TempFolder;
using testsupport::WriteFileBytes;

namespace {

const std::string kDemoLine =
    "ecdsa-p256-sha256 " + std::string(kDemoKeyId) + " " + std::string(kDemoSignatureBase64) + "\n";
const std::string kOtherLine = "ecdsa-p256-sha256 " + std::string(kOtherKeyId) + " " +
                               std::string(kOtherSignatureBase64) + "\n";
const std::vector<signature_file::PublicKey> kDemoOnly = {kDemoKey};

ManifestVerdict VerdictOf(std::string_view manifest, std::string_view signatureFile,
                          const std::vector<signature_file::PublicKey>& keys = kDemoOnly) {
    return CheckManifestSignature(manifest, signatureFile, keys).Verdict;
}

} // namespace

TEST(ManifestSignature, OneLineByATrustedKeyThatVerifiesIsEnough) {
    ManifestCheck check = CheckManifestSignature(kManifest, kDemoLine, kDemoOnly);
    EXPECT_EQ(check.Verdict, ManifestVerdict::Verified);
    EXPECT_EQ(check.Detail, kDemoKeyId);
    // Signed by the old and the new key while clients move over: either key alone suffices.
    EXPECT_EQ(VerdictOf(kManifest, "# two keys\n" + kOtherLine + kDemoLine),
              ManifestVerdict::Verified);
    EXPECT_EQ(VerdictOf(kManifest, kOtherLine, {kDemoKey, kOtherKey}), ManifestVerdict::Verified);
}

TEST(ManifestSignature, ChangedBytesForeignKeysAndForgedLinesAreRefused) {
    std::string changed(kManifest);
    changed[changed.find("a.dll")] = 'b';
    EXPECT_EQ(VerdictOf(changed, kDemoLine), ManifestVerdict::SignatureInvalid);
    EXPECT_EQ(VerdictOf(std::string(kManifest) + "\n", kDemoLine),
              ManifestVerdict::SignatureInvalid);
    EXPECT_EQ(VerdictOf(kManifest, kOtherLine), ManifestVerdict::NoTrustedKey);
    EXPECT_EQ(VerdictOf(kManifest, kDemoLine, {}), ManifestVerdict::NoTrustedKey);
    // Another key's signature under the trusted key's id.
    std::string forged = kOtherLine;
    forged.replace(forged.find(kOtherKeyId), kOtherKeyId.size(), kDemoKeyId);
    EXPECT_EQ(VerdictOf(kManifest, forged), ManifestVerdict::SignatureInvalid);
}

TEST(ManifestSignature, EmptyOversizedAndMalformedFilesAreRefused) {
    EXPECT_EQ(VerdictOf(kManifest, ""), ManifestVerdict::SignatureMissing);
    EXPECT_EQ(VerdictOf(kManifest, "# signed later\n\n"), ManifestVerdict::SignatureMissing);
    EXPECT_EQ(VerdictOf(kManifest, kDemoLine + std::string(4096, '#')),
              ManifestVerdict::SignatureOversized);
    // A good line does not save a file that also holds garbage.
    ManifestCheck check =
        CheckManifestSignature(kManifest, kDemoLine + "<html>404</html>\n", kDemoOnly);
    EXPECT_EQ(check.Verdict, ManifestVerdict::SignatureMalformed);
    EXPECT_EQ(check.Detail, "line 2: not \"<algorithm> <key id> <signature>\"");
}

TEST(ManifestSignature, ChecksTheDownloadedFiles) {
    TempFolder folder;
    const std::wstring manifest = folder / L"UpDataGame.xml";
    const std::wstring signature = folder / L"UpDataGame.xml.sig";
    WriteFileBytes(manifest, kManifest);
    EXPECT_EQ(CheckManifestSignatureFiles(manifest, signature, kDemoOnly).Verdict,
              ManifestVerdict::SignatureMissing);
    WriteFileBytes(signature, kDemoLine);
    EXPECT_EQ(CheckManifestSignatureFiles(manifest, signature, kDemoOnly).Verdict,
              ManifestVerdict::Verified);
    EXPECT_EQ(CheckManifestSignatureFiles(folder / L"missing.xml", signature, kDemoOnly).Verdict,
              ManifestVerdict::Unreadable);
    WriteFileBytes(signature, kDemoLine + std::string(1 << 20, '#'));
    EXPECT_EQ(CheckManifestSignatureFiles(manifest, signature, kDemoOnly).Verdict,
              ManifestVerdict::SignatureOversized);
}

TEST(ManifestSignature, EveryCompiledKeyIsUsableAndIdentifiedByItsDigest) {
    EXPECT_EQ(TrustedManifestKeys().size(), kTrustedManifestKeyPems.size());
    EXPECT_EQ(ManifestSignaturesRequired(), !kTrustedManifestKeyPems.empty());
    std::optional<signature_file::KeyIdBytes> id = ManifestKeyId(kDemoKey);
    ASSERT_TRUE(id);
    EXPECT_EQ(signature_file::FormatKeyId(*id), kDemoKeyId);
}
