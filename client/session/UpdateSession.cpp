#include "session/UpdateSession.h"

#include "net/InetFile.h"
#include "platform/FileUtil.h"
#include "platform/WideString.h"
#include "session/FileInstaller.h"
#include "session/ServerListReader.h"

#include <algorithm>
#include <memory>

namespace {

constexpr const wchar_t* kCaption = L"系统提示";

// Result code of a task whose worker thread could not be created. It is outside the transfer's
// own codes, so the task's error text stays the generic connection message.
constexpr int32_t kThreadNotStarted = 10;

} // namespace

UpdateSession::UpdateSession(SessionWindow& window) : window_(window) {}

UpdateSession::~UpdateSession() {
    // The running task (if any) may still hold its temporary file open: end it first.
    Tasks.Clear();
    for (const std::wstring& path : temporaryFiles_)
        ::DeleteFileW(path.c_str());
}

std::wstring UpdateSession::MakeTemporaryFile() {
    wchar_t folder[MAX_PATH + 1] = {};
    wchar_t path[MAX_PATH + 1] = {};
    DWORD n = ::GetTempPathW(MAX_PATH + 1, folder);
    if (n == 0 || n > MAX_PATH || !::GetTempFileNameW(folder, L"Xml", 0, path))
        return {};
    temporaryFiles_.push_back(path);
    return path;
}

void UpdateSession::DeleteTemporaryFile(const std::wstring& path) {
    if (path.empty())
        return;
    ::DeleteFileW(path.c_str());
    temporaryFiles_.erase(std::remove(temporaryFiles_.begin(), temporaryFiles_.end(), path),
                          temporaryFiles_.end());
}

void UpdateSession::StartSession(const std::wstring& serverListAddress) {
    runStarted_ = true;
    Files.Clear();
    BytesDone = 0;
    window_.SetStatusText(L"正在连接获取服务器列表");

    auto task = std::make_unique<CInetFile>();
    task->StatusCallback = true;
    task->Kind = KindServerList;
    task->NotifyWindow = window_.WindowHandle();
    task->URL = serverListAddress;
    task->TargetPath = MakeTemporaryFile();
    Tasks.PushBack(task.get());
    task.release();
}

void UpdateSession::ConnectServer() {
    ServerEntry* server = Servers.ServerAt(serverIndex_);
    if (!server)
        return;
    runStarted_ = true;
    std::wstring target = MakeTemporaryFile();
    Files.Clear();
    window_.SetStatusText(FormatW(L"正在连接：%ls", server->Name.c_str()));
    BytesDone = 0;

    auto task = std::make_unique<CInetFile>();
    task->StatusCallback = true;
    task->Kind = KindManifest;
    task->NotifyWindow = window_.WindowHandle();
    task->URL = server->Address;
    task->ServerName = server->Name;
    task->TargetPath = target;
    task->Length = 0;
    Tasks.PushBack(task.get());
    task.release();
}

void UpdateSession::RunSchedulingStep() {
    CriticalSectionLock hold(Lock);
    if (!runStarted_ || runEnded_ || ActiveCount >= MaxActive)
        return;
    // Only the front task is ever started, and it stays at the front until its done message has
    // been handled: downloads run strictly one after another, in queue order.
    CInetFile* task = Tasks.Front();
    if (!task || task->RunCount != 0)
        return;
    if (task->Kind == KindUpdateFile) {
        window_.SetStatusText(FormatW(L"正在更新文件：%ls", task->FileName.c_str()));
        // A release may add a file in a folder the installation does not have yet.
        CreateParentFolders(task->TargetPath);
    }
    ++ActiveCount;
    if (!task->Start()) {
        // No thread, so no done message will come: report it as one, or the run would wait
        // for ever behind this task.
        OnDownloadDone(MakeDownloadWParam(task->Kind, kThreadNotStarted),
                       reinterpret_cast<LPARAM>(task));
    }
}

LRESULT UpdateSession::OnDownloadDone(WPARAM wParam, LPARAM lParam) {
    CriticalSectionLock hold(Lock);
    auto* task = reinterpret_cast<CInetFile*>(lParam);
    if (!task || !Tasks.Contains(task))
        return 0;
    const int32_t kind = static_cast<int16_t>(HIWORD(wParam));
    const int32_t code = LOWORD(wParam);

    switch (kind) {
    case KindServerList:
        OnServerListDone(*task, code);
        break;
    case KindManifest:
        OnManifestDone(*task, code);
        break;
    case KindUpdateFile:
        OnFileDone(*task, code);
        break;
    default:
        break;
    }

    Tasks.Remove(task);
    if (kind == KindUpdateFile && Tasks.Count() == 0 && !runEnded_) {
        window_.SetStatusText(L"更新完毕");
        LaunchGameHallAndEnd();
    }
    --ActiveCount;
    // The next download starts now rather than at the next timer tick.
    RunSchedulingStep();
    return 0;
}

void UpdateSession::OnServerListDone(CInetFile& task, int32_t code) {
    std::vector<ServerListLine> lines;
    unsigned added = 0;
    if (code == DownloadOk && ReadServerListFile(task.TargetPath, lines)) {
        // Behind the built-in server, which stays the first one tried.
        for (const ServerListLine& line : lines) {
            if (Servers.AddServer(line.Name, line.Address))
                ++added;
        }
    }
    DeleteTemporaryFile(task.TargetPath);
    if (added > 0)
        window_.SetStatusText(FormatW(L"获取服务器列表成功,共取得 %u 个可选服务器", added));
    else
        window_.SetStatusText(L"获得服务器列表失败");
    ConnectServer();
}

void UpdateSession::OnManifestDone(CInetFile& task, int32_t code) {
    if (code != DownloadOk) {
        DeleteTemporaryFile(task.TargetPath);
        OnManifestFailed(task, task.GetErrorText());
        return;
    }
    window_.SetStatusText(FormatW(L"获取更新文件列表成功：%ls", task.ServerName.c_str()));
    const bool loaded = Files.LoadManifest(task.TargetPath);
    DeleteTemporaryFile(task.TargetPath);
    if (!loaded) {
        OnManifestFailed(task, UnreadableManifestText);
        return;
    }
    FilesToUpdate = static_cast<int32_t>(Files.KeepOutdated());
    TotalBytes = Files.TotalLength();
    if (FilesToUpdate == 0) {
        window_.SetStatusText(L"你当前的版本是最新的");
        LaunchGameHallAndEnd();
        return;
    }
    window_.SetStatusText(FormatW(L"需更新文件总数: %u, 文件总长度: %u KB",
                                  static_cast<unsigned>(FilesToUpdate), TotalBytes / 1024));
    QueuePlan(task);
}

void UpdateSession::QueuePlan(const CInetFile& manifestTask) {
    while (std::unique_ptr<FileEntry> entry = Files.PopFront()) {
        auto task = std::make_unique<CInetFile>();
        task->StatusCallback = true;
        task->Kind = KindUpdateFile;
        task->NotifyWindow = window_.WindowHandle();
        task->URL = entry->URL;
        task->ServerName = manifestTask.ServerName;
        task->TargetPath = entry->TargetPath;
        task->Length = static_cast<uint32_t>(entry->Length);
        task->FileName = entry->FileName;
        task->Register = entry->Register;
        task->ZipFile = entry->ZipFile;
        task->ForceOverwrite = entry->ForceOverwrite;
        task->Execute = entry->Execute;
        task->ExecutePar = entry->ExecutePar;
        Tasks.PushBack(task.get());
        task.release();
    }
}

void UpdateSession::OnManifestFailed(CInetFile& task, const std::wstring& errorText) {
    window_.SetStatusText(FormatW(L"%ls：%ls", errorText.c_str(), task.ServerName.c_str()));
    if (Servers.ServerAt(serverIndex_ + 1)) {
        ++serverIndex_;
        ConnectServer();
        return;
    }
    window_.ShowMessageBox(errorText, kCaption, MB_OK | MB_ICONERROR);
    LaunchGameHallAndEnd();
}

void UpdateSession::OnFileDone(CInetFile& task, int32_t code) {
    if (code == DownloadOk) {
        InstallDownloadedFile(task, window_);
        return;
    }
    std::wstring status = FormatW(L"下载文件失败 [%ls], 错误代码 [%u]", task.FileName.c_str(),
                                  static_cast<unsigned>(code));
    window_.SetStatusText(status);
    // The run ends here, before the box: the files queued behind this one must not start while
    // the box runs its message loop, and a failed file never counts as a finished update.
    runEnded_ = true;
    window_.ShowMessageBox(FormatW(L"可能由于网络原因，%ls ", status.c_str()), L"", MB_OK);
    QuitWithoutGameHall();
}

void UpdateSession::LaunchGameHallAndEnd() {
    runEnded_ = true;
    LaunchGameHall(window_);
}

void UpdateSession::QuitWithoutGameHall() {
    runEnded_ = true;
    ::PostMessageW(window_.WindowHandle(), WM_QUIT, 0, 0);
}
