#include "platform/FileReplace.h"

#include "platform/FileUtil.h"
#include "platform/WideString.h"

namespace {

constexpr wchar_t kAsideSuffix[] = L".old";
// Far more than the copies a run can leave: each is removed at the next start, so only copies
// still running (or held by a scanner) survive.
constexpr int kMaxAsideNames = 100;

std::wstring AsideName(const std::wstring& path, int n) {
    return n == 0 ? path + kAsideSuffix : FormatW(L"%ls.%d%ls", path.c_str(), n, kAsideSuffix);
}

std::wstring BaseName(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// True for "<base>.old" and "<base>.<digits>.old", compared without letter case.
bool IsAsideNameOf(const std::wstring& name, const std::wstring& base) {
    const size_t suffixLength = std::size(kAsideSuffix) - 1;
    if (name.size() < base.size() + suffixLength ||
        !EqualsNoCase(std::wstring_view(name).substr(0, base.size()), base) ||
        !EqualsNoCase(std::wstring_view(name).substr(name.size() - suffixLength), kAsideSuffix)) {
        return false;
    }
    std::wstring_view middle =
        std::wstring_view(name).substr(base.size(), name.size() - base.size() - suffixLength);
    if (middle.empty()) {
        return true;
    }
    if (middle.size() < 2 || middle[0] != L'.') {
        return false;
    }
    for (wchar_t c : middle.substr(1)) {
        if (c < L'0' || c > L'9') {
            return false;
        }
    }
    return true;
}

} // namespace

DWORD ReplaceFileInOneStep(const std::wstring& source, const std::wstring& target) {
    // One rename: the file system swaps the name over, so there is no moment without a target.
    // ReplaceFileW would keep the old file's attributes and security too, but it fails outright
    // for a read-only or missing target and its partial failures leave a backup to sort out.
    if (::MoveFileExW(source.c_str(), target.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return ERROR_SUCCESS;
    }
    return ::GetLastError();
}

DWORD SetFileAside(const std::wstring& path, std::wstring* asideName) {
    DWORD error = ERROR_FILE_EXISTS;
    for (int n = 0; n < kMaxAsideNames; ++n) {
        std::wstring candidate = AsideName(path, n);
        // A leftover that can go makes room for the usual name; one that cannot (still running)
        // is skipped.
        ::DeleteFileW(candidate.c_str());
        // No MOVEFILE_REPLACE_EXISTING: a copy that could not be deleted may be a running
        // program too, and replacing it would fail anyway.
        if (::MoveFileExW(path.c_str(), candidate.c_str(), MOVEFILE_WRITE_THROUGH)) {
            if (asideName != nullptr) {
                *asideName = candidate;
            }
            return ERROR_SUCCESS;
        }
        error = ::GetLastError();
        // Only a name that is still taken (a delete-pending file counts: it answers "access
        // denied") is worth skipping; when the name is free the file itself cannot be moved,
        // and another name will not help.
        if (::GetFileAttributesW(candidate.c_str()) == INVALID_FILE_ATTRIBUTES &&
            ::GetLastError() == ERROR_FILE_NOT_FOUND) {
            return error;
        }
    }
    return error;
}

DWORD ReplaceSettingOldAside(const std::wstring& source, const std::wstring& target) {
    std::wstring aside;
    DWORD error = SetFileAside(target, &aside);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    error = ReplaceFileInOneStep(source, target);
    if (error != ERROR_SUCCESS) {
        // Put the old file back, so the installation keeps it (and a working updater).
        ::MoveFileExW(aside.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
    }
    return error;
}

int RemoveCopiesSetAside(const std::wstring& path) {
    const std::wstring folder = FolderOf(path);
    const std::wstring base = BaseName(path);
    const std::wstring prefix = folder == path ? std::wstring() : folder + L"\\";
    // "<name>.*" also matches "<name>" itself; IsAsideNameOf sorts the names out.
    const std::wstring pattern = prefix + base + L".*";
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return 0;
    }
    int removed = 0;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            IsAsideNameOf(found.cFileName, base)) {
            if (::DeleteFileW((prefix + found.cFileName).c_str())) {
                ++removed;
            }
        }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return removed;
}
