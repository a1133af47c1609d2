#pragma once
// Standard base64 (RFC 4648 alphabet, "=" padding), as key files and signature files use it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace publish {

std::string EncodeBase64(const uint8_t* data, size_t length);

// Strict: only the alphabet, whole groups of four, padding only at the end and only where it
// belongs, and unused bits zero, so that one signature has exactly one spelling.
std::optional<std::vector<uint8_t>> DecodeBase64(std::string_view text);

} // namespace publish
