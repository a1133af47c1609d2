#include "platform/FileUtil.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace testsupport;

TEST(FileUtil, PathsSplitAtTheirLastSeparator) {
    EXPECT_EQ(SplitPath(L"C:\\a\\b.dll").Folder, L"C:\\a");
    EXPECT_EQ(SplitPath(L"C:\\a\\b.dll").Name, L"b.dll");
    EXPECT_EQ(SplitPath(L"a/b\\c").Folder, L"a/b");
    EXPECT_EQ(SplitPath(L"name.txt").Folder, L"");
    EXPECT_EQ(SplitPath(L"name.txt").Name, L"name.txt");
    EXPECT_EQ(SplitPath(L"C:\\a\\").Name, L"");
    EXPECT_EQ(FolderOf(L"C:\\a\\b.dll"), L"C:\\a");
    EXPECT_EQ(FolderOf(L"b.dll"), L"b.dll"); // no separator: the path stays whole
}

TEST(FileUtil, ProgramPathNameAndFoldersComeFromTheSystem) {
    EXPECT_EQ(SplitPath(ProgramPath()).Name, L"platform_tests.exe");
    EXPECT_EQ(ProgramName(), L"platform_tests");
    EXPECT_EQ(TemporaryFolder().back(), L'\\');
    EXPECT_TRUE(PathExists(TemporaryFolder()));
    EXPECT_TRUE(PathExists(CurrentFolder()));
}

TEST(FileUtil, ParentFoldersAreCreatedOnTheWay) {
    TempFolder folder;
    const std::wstring deep = folder / L"a\\b/c\\file.dat";
    EXPECT_TRUE(CreateParentFolders(deep));
    EXPECT_TRUE(PathExists(folder / L"a\\b\\c"));
    EXPECT_FALSE(PathExists(deep));
    EXPECT_TRUE(CreateParentFolders(deep)); // already there
    EXPECT_TRUE(CreateParentFolders(L"file.dat"));

    // A file where a folder should be cannot become one.
    WriteFileBytes(folder / L"plain", "x");
    EXPECT_FALSE(CreateParentFolders(folder / L"plain\\inner\\file.dat"));
}
