#include "publish/ServerListWriter.h"

#include <gtest/gtest.h>

using namespace publish;

namespace {

std::string Bytes(const std::vector<ServerLine>& lines, std::string* error = nullptr) {
    std::string why;
    auto bytes = ServerListBytes(lines, why);
    if (error)
        *error = why;
    return bytes ? *bytes : "<refused>";
}

} // namespace

TEST(ServerListWriter, WritesGbkLinesEndedByCrLf) {
    ServerLine central, backup;
    std::string error;
    ASSERT_TRUE(ParseServerArgument("\xE4\xB8\xAD\xE5\xBF\x83\xE6\x9C\x8D\xE5\x8A\xA1\xE5\x99\xA8="
                                    "http://127.0.0.1:18080/UpDataGame.xml",
                                    central, error));
    ASSERT_TRUE(ParseServerArgument("  Backup 2 = http://b:8080/list.php?x=1 ", backup, error));
    EXPECT_EQ(backup.Name, "Backup 2");
    EXPECT_EQ(Bytes({central, backup}),
              "\xD6\xD0\xD0\xC4\xB7\xFE\xCE\xF1\xC6\xF7|http://127.0.0.1:18080/UpDataGame.xml\r\n"
              "Backup 2|http://b:8080/list.php?x=1\r\n");
}

TEST(ServerListWriter, RefusesLinesTheUpdaterWouldReadDifferently) {
    const std::string address = "http://h/UpDataGame.xml";
    std::string error;
    EXPECT_EQ(Bytes({{"a|b", address}}, &error), "<refused>");
    EXPECT_NE(error.find("|"), std::string::npos);
    EXPECT_EQ(Bytes({{"\xED\x95\x9C", address}}, &error), "<refused>"); // Hangul: not in GBK
    EXPECT_NE(error.find("GBK"), std::string::npos);
    EXPECT_EQ(Bytes({{"   ", address}}), "<refused>");
    EXPECT_EQ(Bytes({{"a\tb", address}}), "<refused>");
    EXPECT_EQ(Bytes({{"a", "https://h/UpDataGame.xml"}}), "<refused>");
    EXPECT_EQ(Bytes({{"a", ""}}), "<refused>");
    std::string noEquals;
    ServerLine line;
    EXPECT_FALSE(ParseServerArgument("just a name", line, noEquals));
}

TEST(ServerListWriter, LinesFitTheUpdatersBuffer) {
    const std::string address = "http://h/UpDataGame.xml"; // 23 bytes, plus "|"
    const std::string fits(kMaxServerLineBytes - address.size() - 1, 'n');
    EXPECT_NE(Bytes({{fits, address}}), "<refused>");
    EXPECT_EQ(Bytes({{fits + "n", address}}), "<refused>");
    // The limit counts GBK bytes: two per Chinese character.
    const std::string chinese = "\xE4\xB8\xAD"; // one character, two bytes in GBK
    std::string name;
    for (size_t i = 0; i < fits.size() / 2; ++i)
        name += chinese;
    EXPECT_NE(Bytes({{name, address}}), "<refused>");
    EXPECT_EQ(Bytes({{name + chinese, address}}), "<refused>");
}
