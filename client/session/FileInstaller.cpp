#include "session/FileInstaller.h"

#include "platform/UniqueHandle.h"
#include "platform/WideString.h"

#include <shellapi.h>

#include <vector>

bool FileExists(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    return static_cast<bool>(file);
}

void InstallDownloadedFile(const CInetFile& task, SessionWindow& window) {
    if (FileExists(task.TargetPath) && !::DeleteFileW(task.TargetPath.c_str())) {
        // The new file stays under its ".update" name; the next run finds the target out of
        // date again and fetches it anew.
        window.SetStatusText(FormatW(L"删除文件失败 [%ls]", task.FileName.c_str()));
        return;
    }
    RenameIntoPlace(task, window);
}

void RenameIntoPlace(const CInetFile& task, SessionWindow& window) {
    const std::wstring updatePath = task.TargetPath + L".update";
    // The wide-character rename keeps paths that the ANSI code page cannot spell; without the
    // replace flag it still fails when the target exists, as the byte-string rename did.
    if (!::MoveFileExW(updatePath.c_str(), task.TargetPath.c_str(), 0)) {
        window.SetStatusText(FormatW(L"重命名文件失败 [%ls]", task.FileName.c_str()));
        return;
    }
    window.SetStatusText(FormatW(L"下载文件成功 [%ls]", task.FileName.c_str()));

    // Started first and registered second; neither is waited for nor checked.
    if (task.Execute)
        ::ShellExecuteW(nullptr, nullptr, task.TargetPath.c_str(), task.ExecutePar.c_str(), nullptr,
                        SW_SHOW);
    if (task.Register) {
        // Quoted, so that a folder with a space in its name reaches regsvr32 as one path.
        std::wstring parameters = L"/s \"" + task.TargetPath + L"\"";
        ::ShellExecuteW(nullptr, nullptr, L"regsvr32", parameters.c_str(), nullptr, SW_SHOW);
    }
}

void LaunchGameHall(SessionWindow& window) {
    // The game hall is looked for in the current directory, not beside the updater's own file.
    DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
    std::vector<wchar_t> folder(needed ? needed : 1, L'\0');
    DWORD n = ::GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
    std::wstring path = FormatW(L"%ls\\Halvenport.exe",
                                std::wstring(folder.data(), n < folder.size() ? n : 0).c_str());
    ::ShellExecuteW(window.WindowHandle(), L"open", path.c_str(), nullptr, nullptr, SW_SHOW);
    ::PostMessageW(window.WindowHandle(), WM_QUIT, 0, 0);
}
