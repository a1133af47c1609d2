// A small DLL of the demo release; what matters is its version resource, and that registering
// it leaves a trace (registered.log beside it) that a demo or a test can see.
#include <windows.h>

#include <string>

extern "C" __declspec(dllexport) int GameCoreVersion() {
    return DEMO_VERSION_NUMBER;
}

extern "C" __declspec(dllexport) HRESULT DllRegisterServer() {
    HMODULE self = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                  GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(&DllRegisterServer), &self))
        return E_FAIL;
    wchar_t path[MAX_PATH] = {};
    DWORD n = ::GetModuleFileNameW(self, path, MAX_PATH);
    if (n == 0 || n == MAX_PATH)
        return E_FAIL;
    std::wstring log(path, n);
    log = log.substr(0, log.find_last_of(L'\\')) + L"\\registered.log";
    HANDLE file = ::CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return E_FAIL;
    DWORD written = 0;
    ::WriteFile(file, path, n * sizeof(wchar_t), &written, nullptr);
    ::WriteFile(file, L"\r\n", 2 * sizeof(wchar_t), &written, nullptr);
    ::CloseHandle(file);
    return S_OK;
}

extern "C" __declspec(dllexport) HRESULT DllUnregisterServer() {
    return S_OK;
}
