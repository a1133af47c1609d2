#include "session/UpdateSession.h"

#include "manifest/ManifestReader.h"
#include "manifest/ManifestSignature.h"
#include "platform/FileUtil.h"
#include "platform/RunLog.h"
#include "platform/WideString.h"
#include "session/FileInstaller.h"
#include "session/PlanCheck.h"
#include "session/ServerListReader.h"

#include <algorithm>
#include <utility>

namespace session {

namespace {

constexpr const wchar_t* kCaption = L"系统提示";
// Caption of the box that ends a run in which files could not be put in place.
constexpr const wchar_t* kEndCaption = L"Refreshor";

// Result code of a download whose worker thread could not be created. It is outside the
// transfer's own codes, so the error text stays the generic connection message.
constexpr uint16_t kThreadNotStarted = 10;

// How long the end of a run waits for a download it aborted. Closing the request makes a blocked
// read return at once, so this is a bound for a worker stuck elsewhere in the system, chosen so
// that the process is gone within 2 s of the user closing the window.
constexpr DWORD kAbortWaitMs = 500;

const wchar_t* KindName(TaskKind kind) {
    switch (kind) {
    case TaskKind::ServerList:
        return L"server list";
    case TaskKind::Manifest:
        return L"manifest";
    case TaskKind::UpdateFile:
        return L"file";
    case TaskKind::Signature:
        return L"manifest signature";
    }
    return L"?";
}

} // namespace

std::wstring SignatureAddressOf(const std::wstring& manifestAddress) {
    std::wstring address = manifestAddress;
    address.insert(std::min(address.find_first_of(L"?#"), address.size()), L".sig");
    return address;
}

UpdateSession::UpdateSession(SessionWindow& window) : window_(window) {}

UpdateSession::~UpdateSession() {
    // The running download or the plan's check (if any) may still hold a temporary file open:
    // end them first.
    CancelDownloads();
    for (Download& download : downloads_) {
        if (!download.Task->WaitFor(kAbortWaitMs)) {
            // Its worker is stuck in the system and still uses the task, and the thread with
            // it: both are left to the process's end, which follows at once and closes the file.
            Log(L"a download did not end in time; leaving it to the process's end");
            (void)download.Task.release();
            (void)thread_.release();
        }
    }
    planCheck_.reset();
    downloads_.clear();
    DeleteTemporaryFiles();
}

void UpdateSession::DeleteTemporaryFiles() {
    for (const std::wstring& path : temporaryFiles_) {
        ::DeleteFileW(path.c_str());
    }
    temporaryFiles_.clear();
}

void UpdateSession::CancelDownloads() {
    runEnded_ = true;
    for (Download& download : downloads_) {
        download.Task->Abort();
    }
}

void UpdateSession::Log(const std::wstring& line) const {
    if (RunLog* log = window_.Log()) {
        log->Write(line);
    }
}

void UpdateSession::AddServer(ServerEntry server) {
    servers_.push_back(std::move(server));
}

std::wstring UpdateSession::MakeTemporaryFile() {
    const std::wstring folder = TemporaryFolder();
    wchar_t path[MAX_PATH + 1] = {};
    if (folder.empty() || !::GetTempFileNameW(folder.c_str(), L"Xml", 0, path)) {
        return {};
    }
    temporaryFiles_.push_back(path);
    return path;
}

void UpdateSession::DeleteTemporaryFile(const std::wstring& path) {
    if (path.empty()) {
        return;
    }
    ::DeleteFileW(path.c_str());
    std::erase(temporaryFiles_, path);
}

void UpdateSession::Queue(TaskKind kind, const std::wstring& url, const std::wstring& localPath,
                          manifest::FileEntry file) {
    auto task = std::make_unique<net::HttpDownload>(url, localPath, window_.WindowHandle(),
                                                    static_cast<uint16_t>(kind));
    task->UseLog(window_.Log());
    downloads_.push_back({std::move(task), kind, std::move(file)});
}

UpdateSession::Download* UpdateSession::Find(const void* task) {
    auto it = std::find_if(downloads_.begin(), downloads_.end(),
                           [&](const Download& d) { return d.Task.get() == task; });
    return it == downloads_.end() ? nullptr : &*it;
}

void UpdateSession::StartSession(const std::wstring& serverListAddress) {
    runStarted_ = true;
    Figures.BytesDone = 0;
    window_.SetStatusText(L"正在连接获取服务器列表");
    Queue(TaskKind::ServerList, serverListAddress, MakeTemporaryFile());
}

void UpdateSession::ConnectServer() {
    if (serverIndex_ >= servers_.size()) {
        return;
    }
    const ServerEntry& server = servers_[serverIndex_];
    runStarted_ = true;
    std::wstring target = MakeTemporaryFile();
    window_.SetStatusText(FormatW(L"正在连接：%ls", server.Name.c_str()));
    Log(FormatW(L"server %ls: %ls", server.Name.c_str(), server.Address.c_str()));
    Figures.BytesDone = 0;
    Queue(TaskKind::Manifest, server.Address, target);
    // A server that sends without end fills neither the disk nor the memory the reader needs.
    downloads_.back().Task->LimitLength(manifest::kMaxManifestSize);
}

void UpdateSession::QueueFile(manifest::FileEntry file) {
    const std::wstring url = file.URL;
    const std::wstring localPath = UpdatePathOf(file.TargetPath);
    // Length is a 32-bit manifest value widened with its sign; only a positive one is a length
    // to hold the download to.
    const uint64_t length = file.Length > 0 ? static_cast<uint64_t>(file.Length) : 0;
    const std::optional<Sha256Digest> sha256 = file.Sha256;
    Queue(TaskKind::UpdateFile, url, localPath, std::move(file));
    downloads_.back().Task->ExpectContent(length, sha256);
    // What an earlier run left of the file is continued; the digest proves the result.
    if (sha256) {
        downloads_.back().Task->AllowResume();
    }
}

void UpdateSession::RunSchedulingStep() {
    if (!runStarted_ || runEnded_ || downloads_.empty()) {
        return;
    }
    // Only the front download is ever started, and it stays at the front until its done message
    // has been handled: downloads run strictly one after another, in queue order.
    Download& front = downloads_.front();
    if (front.Task->Started()) {
        return;
    }
    Figures.FileLength = 0;
    Figures.BytesBeforeFile = Figures.BytesDone;
    if (!internet_) {
        // Opened once for the run; when it cannot be, each download tries its own and fails
        // like a refused connection.
        internet_ = net::InternetSession::Open();
    }
    front.Task->UseSession(internet_);
    front.Task->UseThread(thread_.get());
    if (front.Kind == TaskKind::UpdateFile) {
        window_.SetStatusText(FormatW(L"正在更新文件：%ls", front.File.FileName.c_str()));
        // A release may add a file in a folder the installation does not have yet.
        CreateParentFolders(front.File.TargetPath);
        Figures.FileLength = static_cast<uint32_t>(front.File.Length);
    }
    if (!front.Task->Start()) {
        // No thread, so no done message will come: report it as one, or the run would wait
        // for ever behind this download.
        OnDownloadDone({front.Task->Tag(), kThreadNotStarted, front.Task.get()});
    }
}

void UpdateSession::OnDownloadDone(const net::DownloadDone& done) {
    if (planCheck_ && done.Task == planCheck_.get()) {
        OnPlanChecked();
        RunSchedulingStep();
        return;
    }
    const Download* download = Find(done.Task);
    if (download == nullptr) {
        return;
    }
    // The handlers may queue more downloads (a deque keeps references to its elements valid
    // then) and show message boxes; the entry is removed only once they are through.
    const TaskKind kind = download->Kind;
    Log(FormatW(L"%ls done: code %u", KindName(kind), static_cast<unsigned>(done.Code)));
    switch (kind) {
    case TaskKind::ServerList:
        OnServerListDone(*download, done.Code);
        break;
    case TaskKind::Manifest:
        OnManifestDone(*download, done.Code);
        break;
    case TaskKind::UpdateFile:
        OnFileDone(*download, done.Code);
        break;
    case TaskKind::Signature:
        OnSignatureDone(*download, done.Code);
        break;
    }
    std::erase_if(downloads_, [&](const Download& d) { return d.Task.get() == done.Task; });

    if (kind == TaskKind::UpdateFile && downloads_.empty() && !runEnded_) {
        EndAfterLastFile();
    }
    // The next download starts now rather than at the next timer tick.
    RunSchedulingStep();
}

void UpdateSession::OnServerListDone(const Download& download, uint16_t code) {
    const std::wstring& path = download.Task->LocalPath();
    std::vector<ServerListLine> lines;
    unsigned added = 0;
    if (code == net::DownloadOk && ReadServerListFile(path, lines)) {
        // Behind the built-in server, which stays the first one tried.
        for (ServerListLine& line : lines) {
            AddServer({std::move(line.Name), std::move(line.Address)});
            ++added;
        }
    }
    DeleteTemporaryFile(path);
    if (added > 0) {
        window_.SetStatusText(FormatW(L"获取服务器列表成功,共取得 %u 个可选服务器", added));
    } else {
        window_.SetStatusText(L"获得服务器列表失败");
    }
    ConnectServer();
}

void UpdateSession::OnManifestDone(const Download& download, uint16_t code) {
    const std::wstring& path = download.Task->LocalPath();
    if (code != net::DownloadOk) {
        DeleteTemporaryFile(path);
        OnManifestFailed(download.Task->ErrorText());
        return;
    }
    const ServerEntry& server = servers_[serverIndex_];
    window_.SetStatusText(FormatW(L"获取更新文件列表成功：%ls", server.Name.c_str()));
    // Kept because the system always had it: a build that trusts no key loads the manifest as
    // it arrives.
    if (!ManifestSignaturesRequired()) {
        PlanFromManifest(path, std::nullopt);
        return;
    }
    // Nothing of the manifest is read before its signature file is in and verified.
    pendingManifest_ = path;
    Queue(TaskKind::Signature, SignatureAddressOf(server.Address), MakeTemporaryFile());
    // A signature file is small; a server sending more is not read to the end.
    downloads_.back().Task->LimitLength(signature_file::kMaxSize + 1);
}

void UpdateSession::OnSignatureDone(const Download& download, uint16_t code) {
    const std::wstring manifestPath = std::exchange(pendingManifest_, std::wstring());
    const std::wstring signaturePath = download.Task->LocalPath();
    if (code == net::DownloadOk) {
        // Hashing a large manifest takes long enough to stall the window: the signature is
        // checked beside it, before the plan is read.
        PlanFromManifest(manifestPath, signaturePath);
        return;
    }
    // A signature file that could not be fetched (or ran past the size limit) is a missing one.
    SignatureHolds(manifestPath, signaturePath, {ManifestVerdict::SignatureMissing, {}});
}

bool UpdateSession::SignatureHolds(const std::wstring& manifestPath,
                                   const std::wstring& signaturePath, const ManifestCheck& check) {
    Log(FormatW(L"manifest signature check: verdict %d", static_cast<int>(check.Verdict)));
    DeleteTemporaryFile(signaturePath);
    if (check.Verdict == ManifestVerdict::Verified) {
        return true;
    }
    DeleteTemporaryFile(manifestPath);
    if (check.Verdict == ManifestVerdict::SignatureInvalid && !pairRefetched_) {
        pairRefetched_ = true;
        ConnectServer();
        return false;
    }
    OnManifestUnverified();
    return false;
}

void UpdateSession::PlanFromManifest(const std::wstring& path,
                                     const std::optional<std::wstring>& signaturePath) {
    if (planCheck_) {
        // One check at a time: a second manifest (the connect command while the first is being
        // checked) is dropped, signature unchecked, rather than raced against the first.
        DeleteTemporaryFile(path);
        DeleteTemporaryFile(signaturePath.value_or(std::wstring()));
        return;
    }
    if (!indexLoaded_) {
        index_ = manifest::InstallIndex::Load(manifest::InstallIndex::PathIn(folders_.Program));
        indexLoaded_ = true;
    }
    // The check runs beside the window; OnPlanChecked continues the run when it is through.
    planCheck_ =
        std::make_unique<PlanCheck>(path, signaturePath, folders_, index_, window_.WindowHandle(),
                                    static_cast<uint16_t>(TaskKind::Manifest));
    planCheck_->Start();
}

void UpdateSession::OnPlanChecked() {
    // Destroyed (and its finished thread joined) on the way out.
    const std::unique_ptr<PlanCheck> check = std::move(planCheck_);
    if (check->SignedManifest() &&
        !SignatureHolds(check->ManifestPath(), check->SignaturePath(), check->Signature())) {
        return;
    }
    DeleteTemporaryFile(check->ManifestPath());
    std::optional<std::deque<manifest::FileEntry>>& plan = check->Plan();
    if (!plan) {
        OnManifestFailed(kUnreadableManifestText);
        return;
    }
    // The signature vouches for the files only through their digests.
    if (check->DigestsMissing()) {
        OnManifestUnverified();
        return;
    }
    if (check->SignedManifest()) {
        window_.SetStatusText(
            FormatW(kVerifiedManifestStatus, servers_[serverIndex_].Name.c_str()));
    }
    Figures.FilesToUpdate = static_cast<int32_t>(plan->size());
    Figures.TotalBytes = check->TotalBytes();
    RemoveStaleUpdateFiles(check->AllTargets(), *plan);
    if (Figures.FilesToUpdate == 0) {
        window_.SetStatusText(L"你当前的版本是最新的");
        LaunchGameHallAndEnd();
        return;
    }
    window_.SetStatusText(FormatW(L"需更新文件总数: %u, 文件总长度: %u KB",
                                  static_cast<unsigned>(Figures.FilesToUpdate),
                                  Figures.TotalBytes / 1024));
    for (manifest::FileEntry& file : *plan) {
        QueueFile(std::move(file));
    }
}

void UpdateSession::OnManifestUnverified() {
    OnManifestFailed(FormatW(kUnverifiedManifestStatus, servers_[serverIndex_].Name.c_str()),
                     kUnverifiedManifestText);
}

void UpdateSession::OnManifestFailed(const std::wstring& errorText) {
    OnManifestFailed(FormatW(L"%ls：%ls", errorText.c_str(), servers_[serverIndex_].Name.c_str()),
                     errorText);
}

void UpdateSession::OnManifestFailed(const std::wstring& statusText, const std::wstring& boxText) {
    window_.SetStatusText(statusText);
    if (serverIndex_ + 1 < servers_.size()) {
        ++serverIndex_;
        pairRefetched_ = false;
        ConnectServer();
        return;
    }
    // The run ends before the box, so the timers start nothing while it runs its message loop.
    runEnded_ = true;
    window_.ShowMessageBox(boxText, kCaption, MB_OK | MB_ICONERROR);
    LaunchGameHallAndEnd();
}

void UpdateSession::OnFileDone(const Download& download, uint16_t code) {
    if (code == net::DownloadOk) {
        // The download was held to the manifest's digest: once in place unchanged, the file is
        // recorded, and the next run judges it without reading it.
        manifest::InstallRecord verified;
        const bool recordable =
            download.File.Sha256 &&
            manifest::ReadFileStamp(UpdatePathOf(download.File.TargetPath), verified);
        InstallResult result = InstallDownloadedFile(download.File, window_, updaterProgram_);
        if (result.Installed && recordable) {
            verified.Digest = *download.File.Sha256;
            index_.RecordIfUnchanged(download.File.TargetPath, verified);
        }
        if (!result.Installed) {
            notInstalled_.push_back(download.File.FileName);
            for (std::wstring& holder : result.Holders) {
                if (std::find(holders_.begin(), holders_.end(), holder) == holders_.end()) {
                    holders_.push_back(std::move(holder));
                }
            }
        }
        return;
    }
    std::wstring status = FormatW(L"下载文件失败 [%ls], 错误代码 [%u]",
                                  download.File.FileName.c_str(), static_cast<unsigned>(code));
    window_.SetStatusText(status);
    // The run ends here, before the box: the files queued behind this one must not start while
    // the box runs its message loop, and a failed file never counts as a finished update.
    runEnded_ = true;
    window_.ShowMessageBox(FormatW(L"可能由于网络原因，%ls ", status.c_str()), L"", MB_OK);
    QuitWithoutGameHall();
}

void UpdateSession::SaveInstallIndex() {
    if (index_.Changed()) {
        // A failure costs the next run its speed, nothing else.
        index_.Save(manifest::InstallIndex::PathIn(folders_.Program));
    }
}

void UpdateSession::EndAfterLastFile() {
    if (notInstalled_.empty()) {
        window_.SetStatusText(L"更新完毕");
        LaunchGameHallAndEnd();
        return;
    }
    // A file that is not in place is no finished update: the game hall could start with a mix
    // of old and new files. The player hears which files and what to do, as after a failed
    // download; the run ends before the box, so nothing starts while it is up.
    const std::wstring text = NotInstalledText(notInstalled_, holders_);
    window_.SetStatusText(text);
    runEnded_ = true;
    window_.ShowMessageBox(text, kEndCaption, MB_OK | MB_ICONWARNING);
    QuitWithoutGameHall();
}

void UpdateSession::LaunchGameHallAndEnd() {
    runEnded_ = true;
    Log(L"starting the game hall: Halvenport.exe in " + CurrentFolder());
    SaveInstallIndex();
    LaunchGameHall(window_);
}

void UpdateSession::QuitWithoutGameHall() {
    runEnded_ = true;
    Log(L"ending without the game hall");
    SaveInstallIndex();
    ::PostMessageW(window_.WindowHandle(), WM_QUIT, 0, 0);
}

} // namespace session
