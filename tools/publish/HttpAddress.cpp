#include "publish/HttpAddress.h"

namespace publish {

namespace {

// ASCII only, whatever the process's locale says about other bytes.
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsAlnum(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (Lower(text[i]) != prefix[i])
            return false;
    }
    return true;
}

bool CheckHost(std::string_view host, std::string& error) {
    if (host.empty()) {
        error = "the address has no host";
        return false;
    }
    if (host.front() == '[') { // an IPv6 literal
        if (host.back() != ']' || host.size() < 3) {
            error = "the address's IPv6 host is not closed by ]";
            return false;
        }
        for (char c : host.substr(1, host.size() - 2)) {
            if (!IsHexDigit(c) && c != ':' && c != '.') {
                error = "the address's IPv6 host holds a character that does not belong there";
                return false;
            }
        }
        return true;
    }
    for (char c : host) {
        if (!IsAlnum(c) && c != '-' && c != '.') {
            error = "the address's host may hold only letters, digits, '-' and '.'";
            return false;
        }
    }
    return true;
}

bool CheckPort(std::string_view port, std::string& error) {
    unsigned long value = 0;
    for (char c : port) {
        if (!IsDigit(c) || (value = value * 10 + static_cast<unsigned long>(c - '0')) > 65535) {
            error = "the address's port is not a number from 1 to 65535";
            return false;
        }
    }
    if (port.empty() || value == 0) {
        error = "the address's port is not a number from 1 to 65535";
        return false;
    }
    return true;
}

} // namespace

bool CheckHttpAddress(std::string_view text, AddressUse use, std::string& error) {
    if (!StartsWithNoCase(text, "http://")) {
        error = StartsWithNoCase(text, "https://")
                    ? "the updater downloads over plain http only; https addresses are refused"
                    : "the address does not start with http://";
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c <= 0x20 || c >= 0x7F) {
            error = "the address holds a space, a control character or a non-ASCII character "
                    "(write it percent-encoded)";
            return false;
        }
        if (c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' || c == '`' || c == '{' ||
            c == '}' || (c == '|' && use == AddressUse::Base)) {
            error = std::string("the address holds the character ") + char(c) +
                    ", which must be percent-encoded";
            return false;
        }
        if (c == '%' &&
            (i + 2 >= text.size() || !IsHexDigit(text[i + 1]) || !IsHexDigit(text[i + 2]))) {
            error = "the address holds a % that does not start a %XX escape";
            return false;
        }
    }
    std::string_view rest = text.substr(7);
    const size_t pathStart = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, pathStart);
    if (authority.find('@') != std::string_view::npos) {
        error = "user names and passwords in the address are not supported";
        return false;
    }
    std::string_view host = authority;
    const size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos && authority.find(']', colon) == std::string_view::npos) {
        host = authority.substr(0, colon);
        if (!CheckPort(authority.substr(colon + 1), error))
            return false;
    }
    if (!CheckHost(host, error))
        return false;
    if (text.find('#') != std::string_view::npos) {
        error = "the address holds a fragment (#...)";
        return false;
    }
    if (use == AddressUse::Base && text.find('?') != std::string_view::npos) {
        error = "a base address cannot hold a query (?...): file paths are appended to it";
        return false;
    }
    return true;
}

std::string PercentEncode(std::string_view segment) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(segment.size());
    for (char ch : segment) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsAlnum(ch) || c == '-' || c == '.' || c == '_' || c == '~') {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0xF]);
        }
    }
    return out;
}

std::string JoinUrl(std::string_view base, const std::vector<std::string>& segments) {
    std::string url(base);
    // "http://host" has no path yet; "http://host/dir/" already ends in the separator.
    for (const std::string& segment : segments) {
        if (url.empty() || url.back() != '/')
            url.push_back('/');
        url += PercentEncode(segment);
    }
    return url;
}

} // namespace publish
