#include "publish/LastWriteTime.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

using namespace publish;

TEST(LastWriteTime, UnixTimesConvertExactlyToFileTimes) {
    uint64_t t = 1;
    ASSERT_TRUE(UnixTimeToFileTime(0, 0, t));
    EXPECT_EQ(t, 116444736000000000u);
    ASSERT_TRUE(UnixTimeToFileTime(-kSecondsFrom1601To1970, 0, t));
    EXPECT_EQ(t, 0u);
    ASSERT_TRUE(UnixTimeToFileTime(1700000000, 123456789, t));
    EXPECT_EQ(t, 116444736000000000ull + 1700000000ull * 10000000ull + 1234567ull);
    EXPECT_FALSE(UnixTimeToFileTime(-kSecondsFrom1601To1970 - 1, 999999999, t));
    EXPECT_FALSE(UnixTimeToFileTime(0, 1000000000, t));
    EXPECT_FALSE(UnixTimeToFileTime(INT64_MAX, 0, t));
}

TEST(LastWriteTime, ReadsTheFilesOwnTimeToTheTick) {
    TemporaryFolder folder;
    const auto path = folder.Path() / "timed.bin";
    WriteAll(path, "x");
    uint64_t expected = 0;
#ifdef _WIN32
    // An odd tick count: nothing is rounded to seconds or microseconds on the way.
    expected = 133000000001234567u;
    {
        HANDLE file = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                    0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        FILETIME time{static_cast<DWORD>(expected), static_cast<DWORD>(expected >> 32)};
        const BOOL set = ::SetFileTime(file, nullptr, nullptr, &time);
        ::CloseHandle(file);
        ASSERT_TRUE(set);
    }
#else
    const timespec times[2] = {{1700000000, 0}, {1700000000, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    ASSERT_TRUE(UnixTimeToFileTime(1700000000, 123456789, expected));
#endif
    uint64_t read = 0;
    std::string error;
    ASSERT_TRUE(ReadLastWriteFileTime(path, read, error)) << error;
    EXPECT_EQ(read, expected);
    EXPECT_FALSE(ReadLastWriteFileTime(folder.Path() / "missing", read, error));
    EXPECT_FALSE(error.empty());
}
