#include "TestFolder.h"

#include "platform/UniqueHandle.h"
#include "platform/WideString.h"

#include <shellapi.h>

#include <vector>

TestFolder::TestFolder() {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    static LONG counter = 0;
    root_ = FormatW(L"%lssession-test-%lu-%ld", temp, ::GetCurrentProcessId(),
                    ::InterlockedIncrement(&counter));
    ::CreateDirectoryW(root_.c_str(), nullptr);
}

TestFolder::~TestFolder() {
    // SHFileOperation wants a double-NUL-terminated list.
    std::wstring from = root_ + L'\0';
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    ::SHFileOperationW(&operation);
}

std::wstring TestFolder::Path(const std::wstring& name) const {
    return name.empty() ? root_ : root_ + L"\\" + name;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file)
        ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::string ReadFileBytes(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return {};
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    return bytes;
}

bool PathExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

size_t CountTemporaryFiles(const std::wstring& pattern) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((std::wstring(temp) + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    size_t count = 0;
    do
        ++count;
    while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return count;
}

std::wstring TestProgramPath(const std::wstring& name) {
    return std::wstring(TEST_PROGRAMS_DIR) + L"\\" + name;
}

bool WaitForFileContaining(const std::wstring& path, const std::string& needle, bool utf16) {
    std::string expected = needle;
    if (utf16) {
        std::wstring wide = Utf8ToWide(needle);
        expected.assign(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
    }
    for (int i = 0; i < 200; ++i) {
        if (ReadFileBytes(path).find(expected) != std::string::npos)
            return true;
        ::Sleep(50);
    }
    return false;
}

CurrentDirectoryScope::CurrentDirectoryScope(const std::wstring& folder) {
    std::vector<wchar_t> buffer(::GetCurrentDirectoryW(0, nullptr) + 1, L'\0');
    previous_.assign(buffer.data(),
                     ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data()));
    ::SetCurrentDirectoryW(folder.c_str());
}

CurrentDirectoryScope::~CurrentDirectoryScope() {
    ::SetCurrentDirectoryW(previous_.c_str());
}
