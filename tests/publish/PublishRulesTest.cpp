#include "publish/PublishRules.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

using namespace publish;

namespace {

std::string AddError(PublishRules& rules, const std::string& text) {
    std::string error;
    return rules.Add(text, "test", error) ? "" : error;
}

} // namespace

TEST(PublishRules, LaterRulesWinAndDefaultsStayUnset) {
    PublishRules rules;
    for (const char* rule :
         {"*:ForceOverwrite=YES", "*.ocx:register=yes", "sys/*:InstallDir=systemdir",
          "sys/old.ocx:Register=NO", "sys/old.ocx:ForceOverwrite=no", "setup.exe:Execute=YES",
          "setup.exe:ExecutePar=/S /D=C:\\Games", "win/*:InstallDir=WINDOWSDIR",
          "win/keep.dll:InstallDir=CURRENTDIR"})
        ASSERT_EQ(AddError(rules, rule), "") << rule;

    FileSettings ocx = rules.SettingsFor("sys/new.ocx");
    EXPECT_EQ(ocx.InstallDir, "SYSTEMDIR");
    EXPECT_TRUE(ocx.Register);
    EXPECT_TRUE(ocx.ForceOverwrite);

    FileSettings old = rules.SettingsFor("sys/old.ocx");
    EXPECT_FALSE(old.Register);
    EXPECT_FALSE(old.ForceOverwrite);

    FileSettings setup = rules.SettingsFor("setup.exe");
    EXPECT_TRUE(setup.Execute);
    EXPECT_EQ(setup.ExecutePar, "/S /D=C:\\Games"); // "=" and ":" inside a value stay
    EXPECT_EQ(setup.InstallDir, "");
    EXPECT_FALSE(setup.ZipFile);

    EXPECT_EQ(rules.SettingsFor("win/keep.dll").InstallDir, "");
    EXPECT_TRUE(rules.UnusedRules().empty());
    std::string error;
    ASSERT_TRUE(rules.Add("nothing/*:Execute=YES", "--rule 10", error));
    rules.SettingsFor("setup.exe");
    EXPECT_EQ(rules.UnusedRules(), std::vector<std::string>{"--rule 10: nothing/*:Execute=YES"});
}

TEST(PublishRules, PatternsMayHoldColonsTheKeyEndsThem) {
    PublishRules rules;
    ASSERT_EQ(AddError(rules, "odd:name.dll:Register=YES"), "");
    EXPECT_TRUE(rules.SettingsFor("odd:name.dll").Register);
    EXPECT_FALSE(rules.SettingsFor("name.dll").Register);
}

TEST(PublishRules, RefusesWhatTheUpdaterWouldMisread) {
    PublishRules rules;
    EXPECT_NE(AddError(rules, "*.dll"), "");
    EXPECT_NE(AddError(rules, "*.dll:Registered=YES"), "");
    EXPECT_NE(AddError(rules, ":Register=YES"), "");
    EXPECT_NE(AddError(rules, "*.dll:Register=1"), ""); // the updater takes only YES as true
    EXPECT_NE(AddError(rules, "*.dll:Register=TRUE"), "");
    EXPECT_NE(AddError(rules, "*.dll:InstallDir=D:\\Games"), "");
    EXPECT_NE(AddError(rules, "a.exe:ExecutePar= -x"), "");  // leading blank is lost
    EXPECT_NE(AddError(rules, "a.exe:ExecutePar=-x\t"), ""); // so is a trailing one
    EXPECT_NE(AddError(rules, "a.exe:ExecutePar=a\nb"), "");
    EXPECT_NE(AddError(rules, "a.exe:ExecutePar=\xFF"), "");
    EXPECT_NE(AddError(rules, "\xFF:Execute=YES"), "");
    EXPECT_EQ(AddError(rules, "a.exe:ExecutePar="), "");
}

TEST(PublishRules, RulesFileSkipsCommentsAndNamesTheLineOfAnError) {
    TemporaryFolder folder;
    const auto path = folder.Path() / "rules.txt";
    WriteAll(path,
             "\xEF\xBB\xBF# settings\r\n\r\n  *.ocx:Register=YES  \r\nsetup.exe:Execute=YES\n");
    PublishRules rules;
    std::string error;
    ASSERT_TRUE(rules.LoadFile(path, error)) << error;
    EXPECT_TRUE(rules.SettingsFor("a.ocx").Register);
    EXPECT_TRUE(rules.SettingsFor("setup.exe").Execute);

    WriteAll(path, "*.ocx:Register=YES\n*.dll:Register=maybe\n");
    PublishRules bad;
    EXPECT_FALSE(bad.LoadFile(path, error));
    EXPECT_NE(error.find("rules.txt:2"), std::string::npos) << error;
}
