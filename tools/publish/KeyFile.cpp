#include "publish/KeyFile.h"

#include "publish/PathText.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <vector>

namespace publish {

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kEcPublicKeyOid[] = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x02, 0x01};
constexpr uint8_t kP256Oid[] = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};
constexpr size_t kMaxKeyFileBytes = 16 * 1024;

// One DER element after another; definite lengths only, as DER requires.
class DerReader {
public:
    DerReader(const uint8_t* data, size_t size) : at_(data), end_(data + size) {}
    bool AtEnd() const { return at_ == end_; }
    uint8_t PeekTag() const { return AtEnd() ? 0 : *at_; }

    // The next element's content when its tag is `tag`.
    bool Next(uint8_t tag, DerReader& content) {
        if (end_ - at_ < 2 || at_[0] != tag) {
            return false;
        }
        size_t length = at_[1];
        const uint8_t* start = at_ + 2;
        if (length & 0x80) {
            const size_t count = length & 0x7F;
            if (count == 0 || count > 2 || static_cast<size_t>(end_ - start) < count) {
                return false;
            }
            length = 0;
            for (size_t i = 0; i < count; ++i) {
                length = (length << 8) | *start++;
            }
        }
        if (static_cast<size_t>(end_ - start) < length) {
            return false;
        }
        content = DerReader(start, length);
        at_ = start + length;
        return true;
    }
    bool NextEquals(uint8_t tag, const uint8_t* value, size_t size) {
        DerReader content(nullptr, 0);
        return Next(tag, content) && content.Size() == size &&
               std::memcmp(content.at_, value, size) == 0;
    }
    size_t Size() const { return static_cast<size_t>(end_ - at_); }
    const uint8_t* Data() const { return at_; }

private:
    const uint8_t* at_;
    const uint8_t* end_;
};

bool ReadAlgorithm(DerReader& outer) {
    DerReader algorithm(nullptr, 0);
    return outer.Next(0x30, algorithm) &&
           algorithm.NextEquals(0x06, kEcPublicKeyOid, sizeof kEcPublicKeyOid) &&
           algorithm.NextEquals(0x06, kP256Oid, sizeof kP256Oid) && algorithm.AtEnd();
}

// The BIT STRING of an uncompressed point: no unused bits, 0x04, X, Y.
bool ReadPoint(DerReader& content, P256PublicKey& key) {
    DerReader bits(nullptr, 0);
    if (!content.Next(0x03, bits) || bits.Size() != 2 + key.XY.size() || bits.Data()[0] != 0 ||
        bits.Data()[1] != 0x04) {
        return false;
    }
    std::memcpy(key.XY.data(), bits.Data() + 2, key.XY.size());
    return true;
}

// SEC 1 ECPrivateKey: version 1, the scalar, optionally the curve, then the public point.
bool ReadEcPrivateKey(DerReader& outer, P256PrivateKey& key, std::string& error) {
    DerReader body(nullptr, 0), scalar(nullptr, 0), tagged(nullptr, 0);
    const uint8_t one = 1;
    if (!outer.Next(0x30, body) || !body.NextEquals(0x02, &one, 1) || !body.Next(0x04, scalar) ||
        scalar.Size() == 0 || scalar.Size() > key.D.size()) {
        error = "not a P-256 private key";
        return false;
    }
    key.D.fill(0);
    std::memcpy(key.D.data() + key.D.size() - scalar.Size(), scalar.Data(), scalar.Size());
    if (body.PeekTag() == 0xA0) {
        if (!body.Next(0xA0, tagged) || !tagged.NextEquals(0x06, kP256Oid, sizeof kP256Oid)) {
            error = "the key is not on the curve P-256";
            return false;
        }
    }
    if (body.PeekTag() != 0xA1) {
        error = "the key file holds no public key; write it again with OpenSSL "
                "(openssl pkey -in OLD.pem -out NEW.pem) or make a new one with --generate-key";
        return false;
    }
    if (!body.Next(0xA1, tagged) || !ReadPoint(tagged, key.Public) || !tagged.AtEnd()) {
        error = "the key's public point is malformed";
        return false;
    }
    return true;
}

// The DER bytes of the first PEM block labelled `label`; other blocks (such as the
// "EC PARAMETERS" that `openssl ecparam -genkey` writes first) are passed over.
std::optional<Bytes> PemBlock(std::string_view text, std::string_view label, std::string& error) {
    const std::string begin = "-----BEGIN " + std::string(label) + "-----";
    const std::string end = "-----END " + std::string(label) + "-----";
    const size_t start = text.find(begin);
    if (start == std::string_view::npos) {
        return std::nullopt;
    }
    const size_t stop = text.find(end, start);
    if (stop == std::string_view::npos) {
        error = "the PEM block has no end line";
        return std::nullopt;
    }
    const std::string_view body = text.substr(start + begin.size(), stop - start - begin.size());
    if (body.find(':') != std::string_view::npos) {
        error = "the key is encrypted; store it unencrypted, readable by its owner only";
        return std::nullopt;
    }
    std::string base64;
    for (char c : body) {
        if (c != '\n' && c != '\r' && c != ' ' && c != '\t') {
            base64.push_back(c);
        }
    }
    auto der = signature_file::DecodeBase64(base64);
    if (!der) {
        error = "the PEM block is not valid base64";
    }
    return der;
}

std::string Pem(std::string_view label, const Bytes& der) {
    const std::string base64 = signature_file::EncodeBase64(der.data(), der.size());
    std::string pem = "-----BEGIN " + std::string(label) + "-----\n";
    for (size_t i = 0; i < base64.size(); i += 64) {
        pem += base64.substr(i, 64) + "\n";
    }
    return pem + "-----END " + std::string(label) + "-----\n";
}

void Append(Bytes& out, std::initializer_list<uint8_t> bytes) {
    out.insert(out.end(), bytes);
}
template <size_t N> void Append(Bytes& out, const std::array<uint8_t, N>& bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}
template <size_t N> void Append(Bytes& out, const uint8_t (&bytes)[N]) {
    out.insert(out.end(), bytes, bytes + N);
}

// SEQUENCE { ecPublicKey, prime256v1 }: the algorithm of a PKCS#8 key.
void AppendAlgorithm(Bytes& out) {
    Append(out, {0x30, 0x13, 0x06, 0x07});
    Append(out, kEcPublicKeyOid);
    Append(out, {0x06, 0x08});
    Append(out, kP256Oid);
}

} // namespace

std::optional<P256PrivateKey> ParsePrivateKeyPem(std::string_view text, std::string& error) {
    P256PrivateKey key;
    error.clear();
    if (auto der = PemBlock(text, "PRIVATE KEY", error)) {
        DerReader outer(der->data(), der->size()), info(nullptr, 0), inner(nullptr, 0);
        DerReader version(nullptr, 0);
        if (!outer.Next(0x30, info) || !info.Next(0x02, version) || !ReadAlgorithm(info) ||
            !info.Next(0x04, inner)) {
            error = "not a P-256 private key (PKCS#8)";
            return std::nullopt;
        }
        if (!ReadEcPrivateKey(inner, key, error)) {
            return std::nullopt;
        }
        return key;
    }
    if (!error.empty()) {
        return std::nullopt;
    }
    if (auto der = PemBlock(text, "EC PRIVATE KEY", error)) {
        DerReader outer(der->data(), der->size());
        if (!ReadEcPrivateKey(outer, key, error)) {
            return std::nullopt;
        }
        return key;
    }
    if (error.empty()) {
        error = text.find("ENCRYPTED PRIVATE KEY") != std::string_view::npos
                    ? "the key is encrypted; store it unencrypted, readable by its owner only"
                    : "no PEM private key (BEGIN PRIVATE KEY) in the file";
    }
    return std::nullopt;
}

std::optional<P256PublicKey> ParsePublicKeyPem(std::string_view text, std::string& error) {
    error.clear();
    if (text.find("-----BEGIN PUBLIC KEY-----") == std::string_view::npos) {
        error = "no PEM public key (BEGIN PUBLIC KEY) in the file";
        return std::nullopt;
    }
    std::optional<signature_file::PublicKey> xy = signature_file::ParsePublicKeyPem(text);
    if (!xy) {
        error = "not a P-256 public key (one PEM block of an uncompressed point, as "
                "openssl pkey -pubout writes it)";
        return std::nullopt;
    }
    P256PublicKey key;
    key.XY = *xy;
    return key;
}

std::string PrivateKeyPem(const P256PrivateKey& key) {
    Bytes der;
    Append(der, {0x30, 0x81, 0x87, 0x02, 0x01, 0x00});
    AppendAlgorithm(der);
    Append(der, {0x04, 0x6D, 0x30, 0x6B, 0x02, 0x01, 0x01, 0x04, 0x20});
    Append(der, key.D);
    Append(der, {0xA1, 0x44, 0x03, 0x42, 0x00, 0x04});
    Append(der, key.Public.XY);
    return Pem("PRIVATE KEY", der);
}

signature_file::KeyIdBytes KeyIdBytes(const P256PublicKey& key) {
    const Sha256Digest digest = Sha256Of(key.XY.data(), key.XY.size());
    signature_file::KeyIdBytes id;
    std::copy_n(digest.begin(), id.size(), id.begin());
    return id;
}

std::string KeyId(const P256PublicKey& key) {
    return signature_file::FormatKeyId(KeyIdBytes(key));
}

std::optional<std::string> ReadKeyFile(const std::filesystem::path& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read the key file " + DisplayPath(path);
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<size_t>(in.gcount()));
        if (text.size() > kMaxKeyFileBytes) {
            error = DisplayPath(path) + " is too large to be a key file";
            return std::nullopt;
        }
    }
    return text;
}

} // namespace publish
