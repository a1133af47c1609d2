#include "session/ServerListReader.h"

#include "platform/WideString.h"

#include <gtest/gtest.h>

using namespace session;

namespace {

// GBK bytes of a UTF-16 text, as a publisher's server list holds them.
std::string Gbk(const std::wstring& text) {
    return WideToMultiByte(text, 936);
}

} // namespace

TEST(ServerListReader, ReadsTrimmedNameAddressLinesInGbk) {
    std::string text = Gbk(L"  电信服务器 | http://a.example/UpDataGame.xml  \r\n"
                           L"网通|http://b.example:8080/x.xml?a=1|b\r\n"
                           L"\t备用\t|\thttp://c.example/y.xml\n");
    auto servers = ParseServerList(text, 936);
    ASSERT_EQ(servers.size(), 3u);
    EXPECT_EQ(servers[0].Name, L"电信服务器");
    EXPECT_EQ(servers[0].Address, L"http://a.example/UpDataGame.xml");
    // Only the first bar separates; later ones belong to the address.
    EXPECT_EQ(servers[1].Name, L"网通");
    EXPECT_EQ(servers[1].Address, L"http://b.example:8080/x.xml?a=1|b");
    EXPECT_EQ(servers[2].Name, L"备用");
    EXPECT_EQ(servers[2].Address, L"http://c.example/y.xml");
}

TEST(ServerListReader, SkipsLinesThatNameNoServer) {
    std::string text = "no bar here\r\n"
                       "|http://x/only-address.xml\r\n"
                       "   |http://x/bar-first-after-trim.xml\r\n"
                       "name only|   \r\n"
                       "\r\n"
                       "last|http://x/last.xml"; // no line end at all
    auto servers = ParseServerList(text, 936);
    ASSERT_EQ(servers.size(), 1u);
    EXPECT_EQ(servers[0].Name, L"last");
    EXPECT_TRUE(ParseServerList("", 936).empty());
}

TEST(ServerListReader, SplitsOnlyAtRealBarsOfGbkText) {
    // 0x7C ('|') is also a valid GBK trail byte; such a character must not split the line.
    std::string name = "\x81\x7C"; // a two-byte GBK character ending in 0x7C
    std::wstring decoded = MultiByteToWide(name, 936);
    ASSERT_EQ(decoded.size(), 1u);
    auto servers = ParseServerList(name + "A|http://x/y.xml\n", 936);
    ASSERT_EQ(servers.size(), 1u);
    EXPECT_EQ(servers[0].Name, decoded + L"A");
}

TEST(ServerListReader, KeepsLongLinesWhole) {
    std::wstring address = L"http://x/" + std::wstring(2000, L'a') + L".xml";
    auto servers = ParseServerList(Gbk(L"长|" + address + L"\r\n"), 936);
    ASSERT_EQ(servers.size(), 1u);
    EXPECT_EQ(servers[0].Address, address);
}
