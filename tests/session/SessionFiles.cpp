#include "SessionFiles.h"

#include "platform/FileUtil.h"
#include "platform/WideString.h"

size_t CountTemporaryFiles(const std::wstring& pattern) {
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((TemporaryFolder() + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return 0;
    }
    size_t count = 0;
    do {
        ++count;
    } while (::FindNextFileW(find, &data));
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
        if (ReadFileBytes(path).value_or("").find(expected) != std::string::npos) {
            return true;
        }
        ::Sleep(50);
    }
    return false;
}

CurrentDirectoryScope::CurrentDirectoryScope(const std::wstring& folder)
    : previous_(CurrentFolder()) {
    ::SetCurrentDirectoryW(folder.c_str());
}

CurrentDirectoryScope::~CurrentDirectoryScope() {
    ::SetCurrentDirectoryW(previous_.c_str());
}
