#include "publish/Glob.h"

#include <gtest/gtest.h>

using publish::Glob;

TEST(Glob, PatternWithoutSeparatorMatchesFileNamesInEveryFolder) {
    Glob dlls("*.dll");
    EXPECT_TRUE(dlls.Matches("a.dll"));
    EXPECT_TRUE(dlls.Matches("bin/x/a.DLL"));
    EXPECT_FALSE(dlls.Matches("a.dll.bak"));
    EXPECT_FALSE(dlls.Matches("a.dll/readme.txt"));
    EXPECT_TRUE(
        Glob("?.exe").Matches("tools/\xE5\x9B\xBE.exe")); // ? is one character, not one byte
    EXPECT_FALSE(Glob("?.exe").Matches("ab.exe"));
}

TEST(Glob, PatternWithSeparatorMatchesTheWholePath) {
    EXPECT_TRUE(Glob("skin/*.bmp").Matches("skin/a.bmp"));
    EXPECT_FALSE(Glob("skin/*.bmp").Matches("skin/img/a.bmp"));
    EXPECT_FALSE(Glob("skin/*.bmp").Matches("other/skin/a.bmp"));
    EXPECT_TRUE(Glob("skin\\*.bmp").Matches("skin/a.bmp")); // Windows separators in a pattern
    EXPECT_TRUE(Glob("/skin/a.bmp").Matches("skin/a.bmp"));
    EXPECT_TRUE(Glob("skin/**").Matches("skin/img/deep/a.bmp"));
    EXPECT_FALSE(Glob("skin/**").Matches("skins/a.bmp"));
    EXPECT_TRUE(Glob("skin/").Matches("skin/img/a.bmp"));
}

TEST(Glob, DoubleStarSlashMatchesAnyNumberOfFolders) {
    Glob any("**/setup.exe");
    EXPECT_TRUE(any.Matches("setup.exe"));
    EXPECT_TRUE(any.Matches("a/b/setup.exe"));
    EXPECT_FALSE(any.Matches("a/xsetup.exe"));
    Glob middle("sys/**/*.ocx");
    EXPECT_TRUE(middle.Matches("sys/a.ocx"));
    EXPECT_TRUE(middle.Matches("sys/x/y/a.ocx"));
    EXPECT_FALSE(middle.Matches("sysx/a.ocx"));
}

TEST(Glob, ManyStarsStayFast) {
    // Backtracking without memory would take exponential time here.
    Glob pattern("*a*a*a*a*a*a*a*a*a*a*a*a*b");
    EXPECT_FALSE(pattern.Matches(std::string(200, 'a')));
}
