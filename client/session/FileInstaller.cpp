#include "session/FileInstaller.h"

#include "platform/FileUtil.h"
#include "platform/UniqueHandle.h"
#include "platform/WideString.h"

#include <shellapi.h>

namespace session {

std::wstring UpdatePathOf(const std::wstring& targetPath) {
    return targetPath + L".update";
}

bool FileExists(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    return static_cast<bool>(file);
}

void InstallDownloadedFile(const manifest::FileEntry& file, SessionWindow& window) {
    if (FileExists(file.TargetPath) && !::DeleteFileW(file.TargetPath.c_str())) {
        // The new file stays under its ".update" name; the next run finds the target out of
        // date again and fetches it anew.
        window.SetStatusText(FormatW(L"删除文件失败 [%ls]", file.FileName.c_str()));
        return;
    }
    // The wide-character rename keeps paths that the ANSI code page cannot spell; without the
    // replace flag it still fails when the target exists, as the byte-string rename did.
    if (!::MoveFileExW(UpdatePathOf(file.TargetPath).c_str(), file.TargetPath.c_str(), 0)) {
        window.SetStatusText(FormatW(L"重命名文件失败 [%ls]", file.FileName.c_str()));
        return;
    }
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
}

void LaunchGameHall(SessionWindow& window) {
    // The game hall is looked for in the current directory, not beside the updater's own file.
    std::wstring path = FormatW(L"%ls\\Halvenport.exe", CurrentFolder().c_str());
    ::ShellExecuteW(window.WindowHandle(), L"open", path.c_str(), nullptr, nullptr, SW_SHOW);
    ::PostMessageW(window.WindowHandle(), WM_QUIT, 0, 0);
}

} // namespace session
