#include "platform/FileUtil.h"

#include "platform/ApiString.h"
#include "platform/WideString.h"

bool CreateParentFolders(const std::wstring& path) {
    const std::wstring folder = SplitPath(path).Folder;
    if (folder.empty()) {
        return true;
    }
    DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    // A drive root ("C:") always exists or never will; recursing past it gains nothing.
    if (folder.size() == 2 && folder[1] == L':') {
        return false;
    }
    if (!CreateParentFolders(folder)) {
        return false;
    }
    return ::CreateDirectoryW(folder.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

PathParts SplitPath(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) {
        return {{}, path};
    }
    return {path.substr(0, slash), path.substr(slash + 1)};
}

std::wstring FolderOf(const std::wstring& path) {
    PathParts parts = SplitPath(path);
    return parts.Folder.empty() && !parts.Name.empty() ? path : parts.Folder;
}

std::wstring ProgramPath() {
    return ApiString([](wchar_t* buffer, DWORD capacity) {
        return ::GetModuleFileNameW(nullptr, buffer, capacity);
    });
}

std::wstring TemporaryFolder() {
    return ApiString(
        [](wchar_t* buffer, DWORD capacity) { return ::GetTempPathW(capacity, buffer); });
}

std::wstring CurrentFolder() {
    return ApiString(
        [](wchar_t* buffer, DWORD capacity) { return ::GetCurrentDirectoryW(capacity, buffer); });
}

std::wstring ProgramName() {
    std::wstring name = SplitPath(ProgramPath()).Name;
    size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos && dot > 0) {
        name.erase(dot);
    }
    return name;
}
