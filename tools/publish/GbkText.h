#pragma once
// UTF-8 to GBK (Windows code page 936), the encoding in which the updater reads its server
// list on a Chinese Windows, and back.

#include <optional>
#include <string>
#include <string_view>

namespace publish {

// Nothing when the text is not valid UTF-8 or holds a character that GBK cannot encode; a
// character is never replaced by a look-alike or a question mark.
std::optional<std::string> Utf8ToGbk(std::string_view utf8);

// Nothing when the text is not valid GBK.
std::optional<std::string> GbkToUtf8(std::string_view gbk);

} // namespace publish
