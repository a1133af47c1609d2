#include "manifest/SignatureFile.h"

#include <algorithm>
#include <cstring>

namespace signature_file {

namespace {

constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return -1;
}

int LowerHexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// Printable ASCII; line ends are handled by the caller.
bool IsTextByte(char c) {
    return c >= 0x20 && c <= 0x7E;
}

// Reads one signature line (neither empty nor a comment).
ParseStatus ParseSignatureLine(std::string_view text, Line& line) {
    size_t first = text.find(' ');
    if (first == std::string_view::npos) {
        return ParseStatus::BadLine;
    }
    size_t second = text.find(' ', first + 1);
    if (second == std::string_view::npos || text.find(' ', second + 1) != std::string_view::npos) {
        return ParseStatus::BadLine;
    }
    std::string_view algorithm = text.substr(0, first);
    std::string_view keyId = text.substr(first + 1, second - first - 1);
    std::string_view signature = text.substr(second + 1);
    if (algorithm.empty() || keyId.empty() || signature.empty()) {
        return ParseStatus::BadLine;
    }
    if (algorithm != kAlgorithm) {
        return ParseStatus::UnknownAlgorithm;
    }
    std::optional<KeyIdBytes> id = ParseKeyId(keyId);
    if (!id) {
        return ParseStatus::BadKeyId;
    }
    std::optional<std::vector<uint8_t>> bytes = DecodeBase64(signature);
    if (!bytes || bytes->size() != line.Signature.size()) {
        return ParseStatus::BadSignature;
    }
    line.KeyId = *id;
    std::copy(bytes->begin(), bytes->end(), line.Signature.begin());
    return ParseStatus::Ok;
}

} // namespace

ParseResult Parse(std::string_view file) {
    ParseResult result;
    if (file.size() > kMaxSize) {
        result.Status = ParseStatus::Oversized;
        return result;
    }
    size_t lineNumber = 0;
    while (!file.empty()) {
        ++lineNumber;
        size_t end = file.find('\n');
        std::string_view text = file.substr(0, end);
        file.remove_prefix(end == std::string_view::npos ? file.size() : end + 1);
        // A carriage return only counts as part of a "\r\n" line end.
        if (end != std::string_view::npos && !text.empty() && text.back() == '\r') {
            text.remove_suffix(1);
        }

        Line line;
        ParseStatus status = ParseStatus::Ok;
        if (!std::all_of(text.begin(), text.end(), IsTextByte)) {
            status = ParseStatus::NotText;
        } else if (text.empty() || text.front() == '#') {
            continue;
        } else {
            status = ParseSignatureLine(text, line);
        }
        if (status != ParseStatus::Ok) {
            result.Status = status;
            result.LineNumber = lineNumber;
            result.Lines.clear();
            return result;
        }
        result.Lines.push_back(line);
    }
    return result;
}

std::string Describe(const ParseResult& result) {
    const char* what = "";
    switch (result.Status) {
    case ParseStatus::Ok:
        return {};
    case ParseStatus::Oversized:
        return "larger than " + std::to_string(kMaxSize) + " bytes";
    case ParseStatus::NotText:
        what = "not ASCII text";
        break;
    case ParseStatus::BadLine:
        what = "not \"<algorithm> <key id> <signature>\"";
        break;
    case ParseStatus::UnknownAlgorithm:
        what = "unknown algorithm";
        break;
    case ParseStatus::BadKeyId:
        what = "key id is not 16 lower-case hex digits";
        break;
    case ParseStatus::BadSignature:
        what = "signature is not base64 of 64 bytes";
        break;
    }
    return "line " + std::to_string(result.LineNumber) + ": " + what;
}

std::string FormatLine(const Line& line) {
    return std::string(kAlgorithm) + ' ' + FormatKeyId(line.KeyId) + ' ' +
           EncodeBase64(line.Signature.data(), line.Signature.size());
}

std::string FormatHex(const uint8_t* data, size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        text.push_back(kDigits[data[i] >> 4]);
        text.push_back(kDigits[data[i] & 0x0F]);
    }
    return text;
}

std::string FormatKeyId(const KeyIdBytes& keyId) {
    return FormatHex(keyId.data(), keyId.size());
}

std::optional<KeyIdBytes> ParseKeyId(std::string_view text) {
    KeyIdBytes id{};
    if (text.size() != id.size() * 2) {
        return std::nullopt;
    }
    for (size_t i = 0; i < id.size(); ++i) {
        int high = LowerHexValue(text[2 * i]);
        int low = LowerHexValue(text[2 * i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        id[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return id;
}

std::string EncodeBase64(const uint8_t* data, size_t size) {
    std::string text;
    text.reserve((size + 2) / 3 * 4);
    for (size_t i = 0; i < size; i += 3) {
        uint32_t group = uint32_t{data[i]} << 16;
        if (i + 1 < size) {
            group |= uint32_t{data[i + 1]} << 8;
        }
        if (i + 2 < size) {
            group |= data[i + 2];
        }
        text.push_back(kBase64Alphabet[group >> 18 & 63]);
        text.push_back(kBase64Alphabet[group >> 12 & 63]);
        text.push_back(i + 1 < size ? kBase64Alphabet[group >> 6 & 63] : '=');
        text.push_back(i + 2 < size ? kBase64Alphabet[group & 63] : '=');
    }
    return text;
}

std::optional<std::vector<uint8_t>> DecodeBase64(std::string_view text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    size_t padding = 0;
    if (!text.empty() && text.back() == '=') {
        padding = text[text.size() - 2] == '=' ? 2 : 1;
    }
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() / 4 * 3);
    uint32_t group = 0;
    for (size_t i = 0; i < text.size() - padding; ++i) {
        int value = Base64Value(text[i]);
        if (value < 0) {
            return std::nullopt;
        }
        group = group << 6 | static_cast<uint32_t>(value);
        if (i % 4 == 3) {
            bytes.push_back(static_cast<uint8_t>(group >> 16));
            bytes.push_back(static_cast<uint8_t>(group >> 8));
            bytes.push_back(static_cast<uint8_t>(group));
            group = 0;
        }
    }
    // The last group: 2 characters carry one byte and 4 spare bits, 3 carry two and 2 spare
    // bits. Spare bits must be zero, or two texts would decode to the same bytes.
    if (padding == 2) {
        if (group & 0x0F) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<uint8_t>(group >> 4));
    } else if (padding == 1) {
        if (group & 0x03) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<uint8_t>(group >> 10));
        bytes.push_back(static_cast<uint8_t>(group >> 2));
    }
    return bytes;
}

namespace {

// SubjectPublicKeyInfo of an id-ecPublicKey on prime256v1, up to the uncompressed point's 0x04.
// A key in any other form is refused rather than interpreted.
constexpr uint8_t kP256SpkiPrefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48,
                                       0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                       0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};

constexpr std::string_view kPemBegin = "-----BEGIN PUBLIC KEY-----";
constexpr std::string_view kPemEnd = "-----END PUBLIC KEY-----";

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

std::optional<PublicKey> ParsePublicKeyPem(std::string_view pem) {
    while (!pem.empty() && IsSpace(pem.front())) {
        pem.remove_prefix(1);
    }
    while (!pem.empty() && IsSpace(pem.back())) {
        pem.remove_suffix(1);
    }
    if (pem.substr(0, kPemBegin.size()) != kPemBegin || pem.size() < kPemEnd.size() ||
        pem.substr(pem.size() - kPemEnd.size()) != kPemEnd) {
        return std::nullopt;
    }
    pem = pem.substr(kPemBegin.size(), pem.size() - kPemBegin.size() - kPemEnd.size());

    // The body: base64 lines, each ended by "\n" or "\r\n", the markers on lines of their own.
    if (pem.empty() || (pem.front() != '\n' && pem.substr(0, 2) != "\r\n")) {
        return std::nullopt;
    }
    std::string body;
    while (!pem.empty()) {
        size_t end = pem.find('\n');
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        std::string_view line = pem.substr(0, end);
        pem.remove_prefix(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        body += line;
    }
    std::optional<std::vector<uint8_t>> der = DecodeBase64(body);
    PublicKey key{};
    if (!der || der->size() != sizeof(kP256SpkiPrefix) + key.size() ||
        !std::equal(std::begin(kP256SpkiPrefix), std::end(kP256SpkiPrefix), der->begin())) {
        return std::nullopt;
    }
    std::copy(der->begin() + sizeof(kP256SpkiPrefix), der->end(), key.begin());
    return key;
}

std::string FormatPublicKeyPem(const PublicKey& key) {
    std::vector<uint8_t> der(std::begin(kP256SpkiPrefix), std::end(kP256SpkiPrefix));
    der.insert(der.end(), key.begin(), key.end());
    const std::string body = EncodeBase64(der.data(), der.size());
    std::string pem = std::string(kPemBegin) + "\n";
    for (size_t i = 0; i < body.size(); i += 64) {
        pem.append(body, i, 64).push_back('\n');
    }
    return pem + std::string(kPemEnd) + "\n";
}

} // namespace signature_file
