#pragma once
// Strict UTF-8 and UTF-16 handling. File names end up in XML, in URLs and (server names) in a
// GBK file; each of those needs real characters, so malformed text is refused, never repaired.

#include <optional>
#include <string>
#include <string_view>

namespace publish {

// The code points of strictly valid UTF-8: no overlong forms, no surrogates, nothing above
// U+10FFFF, no truncated sequence.
std::optional<std::u32string> DecodeUtf8(std::string_view bytes);
inline bool IsValidUtf8(std::string_view bytes) {
    return DecodeUtf8(bytes).has_value();
}

std::string EncodeUtf8(std::u32string_view text);

// Windows names are UTF-16 that need not be well formed: an unpaired surrogate gives nothing.
std::optional<std::string> Utf16ToUtf8(std::u16string_view text);
std::u16string EncodeUtf16(std::u32string_view text);

// Whether XML 1.0 can carry the character at all, even as a character reference.
bool IsXmlChar(char32_t c);

// The bytes with everything that is not printable ASCII shown as \xNN, for messages about
// names that cannot be shown as they are.
std::string EscapeBytes(std::string_view bytes);

// Text for a message: valid UTF-8 with its control characters shown as \xNN (so that a name
// cannot move the cursor or hide part of the message), anything else as EscapeBytes gives it.
std::string EscapeControls(std::string_view text);

} // namespace publish
