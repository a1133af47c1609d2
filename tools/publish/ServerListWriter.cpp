#include "publish/ServerListWriter.h"

#include "publish/GbkText.h"
#include "publish/HttpAddress.h"
#include "publish/Utf8.h"

namespace publish {

namespace {

// What the updater's trimming removes: space and the controls from tab to carriage return.
bool IsTrimmed(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsTrimmed(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsTrimmed(text.back()))
        text.remove_suffix(1);
    return text;
}

bool CheckName(std::string_view name, std::string& error) {
    auto points = DecodeUtf8(name);
    if (!points) {
        error = "the server name is not valid UTF-8";
        return false;
    }
    if (points->empty()) {
        error = "the server name is empty";
        return false;
    }
    for (char32_t c : *points) {
        if (c < 0x20 || c == 0x7F) {
            error = "the server name holds a control character";
            return false;
        }
        if (c == U'|') {
            error = "the server name holds \"|\", which separates name and address";
            return false;
        }
    }
    return true;
}

} // namespace

bool ParseServerArgument(std::string_view text, ServerLine& line, std::string& error) {
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        error = "a server is NAME=ADDRESS";
        return false;
    }
    line.Name = Trim(text.substr(0, equals));
    line.Address = Trim(text.substr(equals + 1));
    return true;
}

std::optional<std::string> ServerListBytes(const std::vector<ServerLine>& lines,
                                           std::string& error) {
    std::string bytes;
    for (const ServerLine& line : lines) {
        const std::string name(Trim(line.Name));
        if (!CheckName(name, error))
            return std::nullopt;
        std::string why;
        if (!CheckHttpAddress(line.Address, AddressUse::Manifest, why)) {
            error = "server " + name + ": " + why;
            return std::nullopt;
        }
        auto encoded = Utf8ToGbk(name + "|" + line.Address);
        if (!encoded) {
            error = "server " + name + ": the name holds a character that GBK cannot encode";
            return std::nullopt;
        }
        if (encoded->size() > kMaxServerLineBytes) {
            error = "server " + name + ": the line is " + std::to_string(encoded->size()) +
                    " bytes long in GBK; the updater reads at most " +
                    std::to_string(kMaxServerLineBytes);
            return std::nullopt;
        }
        bytes += *encoded;
        bytes += "\r\n";
    }
    return bytes;
}

} // namespace publish
