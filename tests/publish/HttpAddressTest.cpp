#include "publish/HttpAddress.h"

#include <gtest/gtest.h>

using namespace publish;

namespace {

std::string Refusal(const std::string& address, AddressUse use = AddressUse::Base) {
    std::string error;
    return CheckHttpAddress(address, use, error) ? "" : error;
}

} // namespace

TEST(HttpAddress, AcceptsPlainHttpWithHostPortAndPath) {
    for (const char* ok :
         {"http://127.0.0.1:18080/", "http://update.example.com",
          "HTTP://Update.Example.com:80/game/v1", "http://[::1]:8080/x/", "http://h/a%20b/"})
        EXPECT_EQ(Refusal(ok), "") << ok;
    EXPECT_EQ(Refusal("http://h/list.php?server=1", AddressUse::Manifest), "");
}

TEST(HttpAddress, RefusesWhatTheUpdaterCannotFetchOrFilesCannotBeAppendedTo) {
    const struct {
        const char* Address;
        const char* Why; // a word the message must hold
    } cases[] = {
        {"https://h/", "https"},     {"ftp://h/", "http://"},
        {"h/game", "http://"},       {"http://", "no host"},
        {"http:///game", "no host"}, {"http://h:0/", "port"},
        {"http://h:65536/", "port"}, {"http://h:/", "port"},
        {"http://h:8o/", "port"},    {"http://user:pw@h/", "user names"},
        {"http://h/x?y=1", "query"}, {"http://h/x#top", "fragment"},
        {"http://h/a b/", "space"},  {"http://h/\xE5\x9B\xBE/", "non-ASCII"},
        {"http://h/100%/", "%"},     {"http://h_x/", "host"},
        {"http://h/a\\b", "\\"},
    };
    for (const auto& c : cases)
        EXPECT_NE(Refusal(c.Address).find(c.Why), std::string::npos)
            << c.Address << " -> " << Refusal(c.Address);
}

TEST(HttpAddress, JoinsEncodedSegmentsWithOneSlash) {
    const std::vector<std::string> path = {"skin", "\xE5\x9B\xBE\xE7\x89\x87", "a b&c+%#?.bmp"};
    const std::string tail = "/skin/%E5%9B%BE%E7%89%87/a%20b%26c%2B%25%23%3F.bmp";
    EXPECT_EQ(JoinUrl("http://h:1/game/", path), "http://h:1/game" + tail);
    EXPECT_EQ(JoinUrl("http://h:1/game", path), "http://h:1/game" + tail);
    EXPECT_EQ(JoinUrl("http://h", {"x.dll"}), "http://h/x.dll");
    EXPECT_EQ(PercentEncode("Az09-._~"), "Az09-._~");
    EXPECT_EQ(PercentEncode("\\/:"), "%5C%2F%3A");
}
