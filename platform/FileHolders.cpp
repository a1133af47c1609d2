#include "platform/FileHolders.h"

#include <windows.h>

#include <restartmanager.h>

#include <algorithm>

namespace {

// Ends the Restart Manager session on every way out.
class RestartManagerSession {
public:
    RestartManagerSession() {
        wchar_t key[CCH_RM_SESSION_KEY + 1] = {};
        started_ = ::RmStartSession(&handle_, 0, key) == ERROR_SUCCESS;
    }
    ~RestartManagerSession() {
        if (started_) {
            ::RmEndSession(handle_);
        }
    }
    RestartManagerSession(const RestartManagerSession&) = delete;
    RestartManagerSession& operator=(const RestartManagerSession&) = delete;

    bool Started() const { return started_; }
    DWORD Handle() const { return handle_; }

private:
    DWORD handle_ = 0;
    bool started_ = false;
};

std::wstring ImageName(DWORD processId) {
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) {
        return {};
    }
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    std::wstring name;
    if (::QueryFullProcessImageNameW(process, 0, path, &size)) {
        name.assign(path, size);
        size_t slash = name.find_last_of(L"\\/");
        if (slash != std::wstring::npos) {
            name.erase(0, slash + 1);
        }
    }
    ::CloseHandle(process);
    return name;
}

} // namespace

std::vector<std::wstring> ProgramsHoldingFile(const std::wstring& path) {
    std::vector<std::wstring> names;
    RestartManagerSession session;
    if (!session.Started()) {
        return names;
    }
    LPCWSTR files[] = {path.c_str()};
    if (::RmRegisterResources(session.Handle(), 1, files, 0, nullptr, 0, nullptr) !=
        ERROR_SUCCESS) {
        return names;
    }
    std::vector<RM_PROCESS_INFO> processes(4);
    bool listed = false;
    // The list grows between the calls when programs open the file meanwhile; a few rounds
    // with room to spare settle it.
    for (int attempt = 0; attempt < 4 && !listed; ++attempt) {
        UINT needed = 0;
        UINT count = static_cast<UINT>(processes.size());
        DWORD reasons = RmRebootReasonNone;
        DWORD result = ::RmGetList(session.Handle(), &needed, &count, processes.data(), &reasons);
        if (result == ERROR_MORE_DATA) {
            processes.resize(needed + 4);
        } else if (result == ERROR_SUCCESS) {
            processes.resize(count);
            listed = true;
        } else {
            return names;
        }
    }
    if (!listed) {
        return names;
    }
    for (const RM_PROCESS_INFO& process : processes) {
        std::wstring name = process.strAppName;
        if (name.empty()) {
            name = ImageName(process.Process.dwProcessId);
        }
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) {
            names.push_back(std::move(name));
        }
    }
    return names;
}
