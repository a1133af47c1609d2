#include "platform/RunLog.h"

#include <gtest/gtest.h>

#include "Scratch.h"

namespace {

size_t CountLines(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(RunLog, WritesTimestampedUtf8LinesAtOnceAndMovesAFullLogAside) {
    TempFolder folder;
    const std::wstring path = folder / L"Halvenport\\Refreshor.log";
    constexpr uint64_t kLimit = 300;
    RunLog log(path, kLimit);
    ASSERT_TRUE(log.IsOpen());
    log.Write(L"下载文件失败 [a.txt]\r\n错误代码 [7]");
    // Read while the log is still open: a killed process must not lose the line.
    const std::string first = ReadBytes(path);
    ASSERT_EQ(CountLines(first), 1u) << first;
    EXPECT_TRUE(first.size() > 24 && first[0] == '2' && first[4] == '-' && first[10] == ' ')
        << first;
    EXPECT_NE(first.find("\xE4\xB8\x8B\xE8\xBD\xBD"), std::string::npos); // 下载 in UTF-8
    EXPECT_EQ(first.substr(first.size() - 2), "\r\n");

    size_t written = 1;
    while (ReadBytes(path + L".1") == "<missing>" && written < 100) {
        log.Write(L"正在连接：中心服务器 http://127.0.0.1:18080/UpDataGame.xml");
        ++written;
        EXPECT_LE(ReadBytes(path).size(), kLimit);
    }
    const std::string previous = ReadBytes(path + L".1");
    const std::string current = ReadBytes(path);
    EXPECT_LE(previous.size(), kLimit);
    EXPECT_EQ(previous.substr(0, first.size()), first);
    EXPECT_EQ(CountLines(previous) + CountLines(current), written);
}

TEST(RunLog, ALogThatCannotBeOpenedOrAFolderThatCannotBeMadeMeansNoLogAndNoFailure) {
    TempFolder folder;
    const std::wstring taken = folder / L"Refreshor.log";
    ASSERT_TRUE(WriteBytes(taken, "kept\r\n"));
    // Held without any sharing: what a read-only file is to a user who is not root (the tests
    // run as root, where Wine lets read-only files be written).
    HANDLE holder = ::CreateFileW(taken.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const std::wstring underAFile = folder / L"file\\Halvenport\\Refreshor.log";
    ASSERT_TRUE(WriteBytes((folder / L"file"), "x"));
    for (const std::wstring& path : {taken, underAFile, std::wstring()}) {
        RunLog log(path);
        EXPECT_FALSE(log.IsOpen());
        log.Write(L"a line nobody can keep");
    }
    ::CloseHandle(holder);
    EXPECT_EQ(ReadBytes(taken), "kept\r\n");
}

} // namespace
