// The updater's version probe (the PE reader, the platform where the reader finds nothing)
// against the platform's version functions alone: on the test images and on every Windows image
// of the machine's C: drive (under Wine, the whole prefix).

#include "manifest/FileEntry.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace manifest;

namespace {

bool StartsWithMz(const std::wstring& path) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    char head[2] = {};
    DWORD read = 0;
    const bool mz =
        ::ReadFile(file, head, 2, &read, nullptr) && read == 2 && head[0] == 'M' && head[1] == 'Z';
    ::CloseHandle(file);
    return mz;
}

// Every file under `folder` that starts like a Windows image, links and junctions not followed.
void CollectImages(const std::wstring& folder, std::vector<std::wstring>& images) {
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        const std::wstring path = folder + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            continue;
        }
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            CollectImages(path, images);
        } else if (StartsWithMz(path)) {
            images.push_back(path);
        }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

// Compares every file; returns how many had a version.
size_t ExpectAgreement(const std::vector<std::wstring>& files) {
    size_t versioned = 0;
    for (const std::wstring& file : files) {
        const std::optional<std::wstring> platform = ReadPlatformFileVersion(file);
        EXPECT_EQ(ReadFileVersion(file).value_or(L"none"), platform.value_or(L"none"))
            << testing::PrintToString(file);
        versioned += platform ? 1 : 0;
    }
    return versioned;
}

} // namespace

TEST(VersionProbe, TestImagesReadAsThePlatformReadsThem) {
    std::vector<std::wstring> images;
    CollectImages(TestProgramFolder(), images);
    CollectImages(PE_TEST_IMAGES, images);
    ASSERT_GE(images.size(), 12u);
    EXPECT_GE(ExpectAgreement(images), 10u);
}

TEST(VersionProbe, EveryImageOfTheSystemDriveReadsAsThePlatformReadsIt) {
    wchar_t windows[MAX_PATH] = {};
    ASSERT_NE(::GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    const std::wstring drive = std::wstring(windows).substr(0, 2); // "C:"
    std::vector<std::wstring> images;
    CollectImages(drive, images);
    ASSERT_GT(images.size(), 500u);
    EXPECT_GT(ExpectAgreement(images), 200u);
}
