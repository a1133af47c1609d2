#include "TestFiles.h"

#include "platform/FileUtil.h"
#include "platform/UniqueHandle.h"
#include "platform/WideString.h"

#include <gtest/gtest.h>

std::wstring TestProgramFolder() {
    wchar_t path[MAX_PATH * 4] = {};
    ::GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
    return FolderOf(path);
}

std::wstring VersionedDll(const wchar_t* name) {
    return TestProgramFolder() + L"\\" + name + L".dll";
}

static void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring child = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                ::DeleteFileW(child.c_str());
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(folder.c_str());
}

TempFolder::TempFolder() {
    static unsigned counter = 0;
    name_ = FormatW(L"scratch-%lu-%u", ::GetCurrentProcessId(), ++counter);
    path_ = TestProgramFolder() + L"\\" + name_;
    RemoveTree(path_);
    EXPECT_TRUE(::CreateDirectoryW(path_.c_str(), nullptr));
}

TempFolder::~TempFolder() {
    RemoveTree(path_);
}

void WriteBytes(const std::wstring& path, std::string_view bytes) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file) << "cannot create " << WideToUtf8(path);
    DWORD written = 0;
    ASSERT_TRUE(
        ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

void CopyTo(const std::wstring& from, const std::wstring& to) {
    ASSERT_TRUE(::CopyFileW(from.c_str(), to.c_str(), FALSE)) << WideToUtf8(from);
}

void SetLastWriteTime(const std::wstring& path, FILETIME time) {
    UniqueFile file(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
    ASSERT_TRUE(::SetFileTime(file.get(), nullptr, nullptr, &time));
}

FILETIME MakeFileTime(uint64_t ticks) {
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}
