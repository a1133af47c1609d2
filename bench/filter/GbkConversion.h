#pragma once

#include <string>

// UTF-8 text to GBK (code page 936). False when the input is not valid UTF-8 or holds a
// character that GBK cannot represent; `out` is then unspecified.
bool Utf8ToGbk(const std::string& in, std::string& out);

// GBK (code page 936) to UTF-8. False when the input is not valid GBK.
bool GbkToUtf8(const std::string& in, std::string& out);
