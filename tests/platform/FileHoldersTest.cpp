#include "platform/FileHolders.h"

#include <gtest/gtest.h>

#include "OtherProcess.h"
#include "Scratch.h"

namespace {

TEST(FileHolders, NamesTheHolderOfAFileOrNothingWhenThePlatformCannotTell) {
    TempFolder folder;
    const std::wstring file = folder / L"GameCore.dll";
    ASSERT_TRUE(WriteBytes(file, "old"));
    EXPECT_TRUE(ProgramsHoldingFile(file).empty());
    EXPECT_TRUE(ProgramsHoldingFile(folder / L"missing.dll").empty());

    OtherProcess holder;
    ASSERT_TRUE(holder.Start(OtherProcess::ThisProgram(), folder.Path(), {file, L""}));
    std::vector<std::wstring> names = ProgramsHoldingFile(file);
    // Wine's Restart Manager is a stub that lists nobody; Windows names this test program.
    for (const std::wstring& name : names) {
        EXPECT_FALSE(name.empty());
    }
    std::wstring self = OtherProcess::ThisProgram();
    self.erase(0, self.find_last_of(L'\\') + 1);
    if (!names.empty()) {
        EXPECT_NE(std::find(names.begin(), names.end(), self), names.end());
    }
}

} // namespace
