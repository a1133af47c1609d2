// A stand-in for the programs an update run starts (the game hall, a file marked to be
// executed): it appends one line, "<program name> <arguments>", to started.log beside itself,
// so that a demo or a test can tell that, and how, it was started.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
    wchar_t path[MAX_PATH] = {};
    DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n == MAX_PATH)
        return 1;
    std::wstring self(path, n);
    size_t slash = self.find_last_of(L'\\');
    std::wstring folder = self.substr(0, slash);
    std::wstring name = self.substr(slash + 1);

    std::wstring line = name + L" " + arguments + L"\r\n";
    int bytes = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(),
                          bytes, nullptr, nullptr);

    std::wstring log = folder + L"\\started.log";
    HANDLE file = ::CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    BOOL ok = ::WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok ? 0 : 1;
}
