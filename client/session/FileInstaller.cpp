#include "session/FileInstaller.h"

#include "platform/FileHolders.h"
#include "platform/FileReplace.h"
#include "platform/FileUtil.h"
#include "platform/PathKey.h"
#include "platform/UniqueHandle.h"
#include "platform/WideString.h"

#include <shellapi.h>

#include <string_view>
#include <unordered_set>

namespace session {

namespace {

constexpr std::wstring_view kUpdateSuffix = L".update";
// A box names this many files at most; a release that failed wholesale would not fit otherwise.
constexpr size_t kNamesInBox = 5;

std::wstring JoinNames(const std::vector<std::wstring>& names, size_t most) {
    std::wstring joined;
    for (size_t i = 0; i < names.size() && i < most; ++i) {
        joined += (i == 0 ? L"" : L", ") + names[i];
    }
    return joined;
}

bool InUse(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_LOCK_VIOLATION;
}

// The updater's own file is running: Windows refuses to replace or delete it but lets it be
// renamed, so it is moved aside first (removed at the next start). Every other file is replaced
// in one rename, which never leaves the installation without it.
DWORD PutInPlace(const std::wstring& update, const std::wstring& target, bool updatersOwnFile) {
    if (updatersOwnFile && ::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return ReplaceSettingOldAside(update, target);
    }
    return ReplaceFileInOneStep(update, target);
}

} // namespace

std::wstring UpdatePathOf(const std::wstring& targetPath) {
    return targetPath + std::wstring(kUpdateSuffix);
}

bool FileExists(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    return static_cast<bool>(file);
}

InstallResult InstallDownloadedFile(const manifest::FileEntry& file, SessionWindow& window,
                                    const std::wstring& updaterProgram) {
    InstallResult result;
    // Decides which of the two old status texts a failure gets: an old file that was there to
    // be replaced ("delete failed"), or none that the updater could see ("rename failed", also
    // for a missing download and for a target held without read sharing).
    const bool oldFilePresent = FileExists(file.TargetPath);
    const bool updatersOwnFile =
        !updaterProgram.empty() && SamePath(file.TargetPath, updaterProgram);
    const DWORD error = PutInPlace(UpdatePathOf(file.TargetPath), file.TargetPath, updatersOwnFile);
    if (error != ERROR_SUCCESS) {
        // The new file stays under its ".update" name and the old one stays whole.
        std::wstring status =
            FormatW(oldFilePresent ? L"删除文件失败 [%ls]" : L"重命名文件失败 [%ls]",
                    file.FileName.c_str());
        if (InUse(error) &&
            ::GetFileAttributesW(file.TargetPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
            result.Holders = ProgramsHoldingFile(file.TargetPath);
        }
        // The status line is also what the run log records, so support sees the holder too.
        if (!result.Holders.empty()) {
            status += FormatW(L", 正被 [%ls] 使用",
                              JoinNames(result.Holders, result.Holders.size()).c_str());
        }
        window.SetStatusText(status);
        return result;
    }
    result.Installed = true;
    window.SetStatusText(FormatW(L"下载文件成功 [%ls]", file.FileName.c_str()));

    // Started first and registered second; neither is waited for nor checked.
    if (file.Execute) {
        ::ShellExecuteW(nullptr, nullptr, file.TargetPath.c_str(), file.ExecutePar.c_str(), nullptr,
                        SW_SHOW);
    }
    if (file.Register) {
        // Quoted, so that a folder with a space in its name reaches regsvr32 as one path.
        std::wstring parameters = L"/s \"" + file.TargetPath + L"\"";
        ::ShellExecuteW(nullptr, nullptr, L"regsvr32", parameters.c_str(), nullptr, SW_SHOW);
    }
    return result;
}

void RemoveStaleUpdateFiles(const std::vector<std::wstring>& manifestTargets,
                            const std::deque<manifest::FileEntry>& outdated) {
    std::unordered_set<std::wstring> folders;
    for (const std::wstring& target : manifestTargets) {
        folders.insert(FolderOf(target));
    }
    std::vector<std::wstring> found;
    for (const std::wstring& folder : folders) {
        const std::wstring pattern = folder + L"\\*" + std::wstring(kUpdateSuffix);
        WIN32_FIND_DATAW data{};
        HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                           FindExSearchNameMatch, nullptr, 0);
        if (search == INVALID_HANDLE_VALUE) {
            continue;
        }
        do {
            std::wstring_view name = data.cFileName;
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                name.size() > kUpdateSuffix.size() &&
                EqualsNoCase(name.substr(name.size() - kUpdateSuffix.size()), kUpdateSuffix)) {
                found.push_back(folder + L"\\" +
                                std::wstring(name.substr(0, name.size() - kUpdateSuffix.size())));
            }
        } while (::FindNextFileW(search, &data));
        ::FindClose(search);
    }
    // Usually nothing is left over, and the keys below are not worth making.
    if (found.empty()) {
        return;
    }
    std::unordered_set<std::wstring> listed;
    for (const std::wstring& target : manifestTargets) {
        listed.insert(PathKey(target));
    }
    std::unordered_set<std::wstring> pending;
    for (const manifest::FileEntry& entry : outdated) {
        pending.insert(PathKey(entry.TargetPath));
    }
    for (const std::wstring& target : found) {
        // Only the updater's own downloads: a ".update" file beside no manifest entry may belong
        // to something else.
        const std::wstring key = PathKey(target);
        if (listed.contains(key) && !pending.contains(key)) {
            ::DeleteFileW(UpdatePathOf(target).c_str());
        }
    }
}

std::wstring NotInstalledText(const std::vector<std::wstring>& fileNames,
                              const std::vector<std::wstring>& holders) {
    std::wstring names = JoinNames(fileNames, kNamesInBox);
    if (fileNames.size() > kNamesInBox) {
        names += FormatW(L" 等 %u 个文件", static_cast<unsigned>(fileNames.size()));
    }
    if (holders.empty()) {
        return FormatW(L"文件更新失败 [%ls], 文件可能正在被使用, 请关闭相关程序后重试",
                       names.c_str());
    }
    return FormatW(L"文件更新失败 [%ls], 文件正被 [%ls] 使用, 请关闭相关程序后重试", names.c_str(),
                   JoinNames(holders, holders.size()).c_str());
}

void LaunchGameHall(SessionWindow& window) {
    // The game hall is looked for in the current directory, not beside the updater's own file.
    std::wstring path = FormatW(L"%ls\\Halvenport.exe", CurrentFolder().c_str());
    ::ShellExecuteW(window.WindowHandle(), L"open", path.c_str(), nullptr, nullptr, SW_SHOW);
    ::PostMessageW(window.WindowHandle(), WM_QUIT, 0, 0);
}

} // namespace session
