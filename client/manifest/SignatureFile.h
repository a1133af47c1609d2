#pragma once
// The text formats of signed manifests, apart from any cryptography so that every build (the
// updater's and the publisher's, Windows and native) reads and writes them the same way.
//
// Signature file, served beside the manifest: ASCII text of at most 4 KiB, one signature a line,
//     ecdsa-p256-sha256 <key id> <signature>
// with the key id as 16 lower-case hex digits (the first 8 bytes of SHA-256 over the key's X||Y)
// and the signature as standard base64 with padding of the 64-byte r||s. Empty lines and lines
// starting with '#' are skipped; lines may end in "\r\n". Anything else (a tab or a lone '\r'
// included, even in a comment) makes the whole file malformed: a file that does not say exactly
// what it means is not trusted in part.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace signature_file {

inline constexpr size_t kMaxSize = 4096;
inline constexpr std::string_view kAlgorithm = "ecdsa-p256-sha256";

// A P-256 public key as X then Y, each 32 bytes big-endian.
using PublicKey = std::array<uint8_t, 64>;
// r then s, each 32 bytes big-endian.
using SignatureBytes = std::array<uint8_t, 64>;
// The first 8 bytes of SHA-256 over a PublicKey.
using KeyIdBytes = std::array<uint8_t, 8>;

struct Line {
    KeyIdBytes KeyId{};
    SignatureBytes Signature{};
    bool operator==(const Line&) const = default;
};

enum class ParseStatus {
    Ok,
    Oversized,        // more than kMaxSize bytes
    NotText,          // a byte that is not printable ASCII, CR before LF or LF
    BadLine,          // not three fields separated by single spaces
    UnknownAlgorithm, // first field other than kAlgorithm
    BadKeyId,         // not 16 lower-case hex digits
    BadSignature,     // not canonical padded base64 of exactly 64 bytes
};

struct ParseResult {
    ParseStatus Status = ParseStatus::Ok;
    size_t LineNumber = 0;   // 1-based line of the problem; 0 for the whole file
    std::vector<Line> Lines; // the signatures in file order; empty unless Status is Ok
};

// Parses a whole signature file. A file without signature lines (empty, or only comments) is no
// problem here; whether it is acceptable is the caller's decision.
ParseResult Parse(std::string_view file);

// "line 3: unknown algorithm" and the like, for logs and status lines; empty when Ok.
std::string Describe(const ParseResult& result);

// One line as Parse reads it, without the line end.
std::string FormatLine(const Line& line);

std::string FormatKeyId(const KeyIdBytes& keyId);
// Lower-case hex digits of the bytes, two per byte (key ids, digests).
std::string FormatHex(const uint8_t* data, size_t size);
std::optional<KeyIdBytes> ParseKeyId(std::string_view text);

// Standard base64 with padding. Decoding is strict: length a multiple of 4, '=' only as the
// last one or two characters, unused bits zero, nothing else (no white space).
std::string EncodeBase64(const uint8_t* data, size_t size);
std::optional<std::vector<uint8_t>> DecodeBase64(std::string_view text);

// A PEM "PUBLIC KEY" block (SubjectPublicKeyInfo) of a P-256 key, as `openssl pkey -pubout`
// writes it: the DER must be exactly the fixed prefix for an uncompressed P-256 point followed by
// X and Y. White space around the block and "\r\n" line ends are accepted; any other text, key
// type, curve or encoding gives nothing.
std::optional<PublicKey> ParsePublicKeyPem(std::string_view pem);

// The PEM that ParsePublicKeyPem reads, byte for byte what `openssl pkey -pubout` writes: lines of
// 64 base64 characters, each ended by "\n".
std::string FormatPublicKeyPem(const PublicKey& key);

} // namespace signature_file
