#pragma once
// One update run: fetch the server list, download a server's manifest and its signature file and
// check them against the keys built in (unless the build trusts none), queue the out-of-date
// files and download them strictly one at a time, installing each as it arrives, then start the
// game hall. Driven by the window's timers and by the downloads' done messages, all on the
// user-interface thread; it talks to the window only through SessionWindow.

#include "manifest/FileEntry.h"
#include "manifest/InstallIndex.h"
#include "manifest/UpdatePlan.h"
#include "net/DownloadMessages.h"
#include "net/HttpDownload.h"
#include "platform/FileUtil.h"
#include "session/ServerEntry.h"
#include "session/SessionWindow.h"

#include <windows.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct ManifestCheck;

namespace session {

class PlanCheck;

// What a download fetches; its tag in both download messages.
enum class TaskKind : uint16_t {
    ServerList = 0, // the server list, into a temporary file
    Manifest = 1,   // a server's manifest, into a temporary file
    UpdateFile = 2, // one out-of-date file, beside its target with ".update" appended
    Signature = 3,  // the signature file of the manifest just fetched, into a temporary file
};

// The signature file's address: the manifest's with ".sig" appended to its path, so that a
// query or fragment of the manifest's address stays at the end.
std::wstring SignatureAddressOf(const std::wstring& manifestAddress);

// What the window shows of the run. The session writes the plan; the window's progress handler
// adds the bytes that arrive.
struct RunFigures {
    int32_t FilesToUpdate = 0;    // out-of-date files of the plan; 0 until a manifest is in
    uint32_t TotalBytes = 0;      // their summed length, wrapping at 32 bits
    uint32_t BytesDone = 0;       // update-file bytes received
    uint32_t BytesBeforeFile = 0; // BytesDone when the file being fetched started
    uint32_t FileLength = 0; // the manifest's length of the file being fetched; 0 for the lists
};

class UpdateSession {
public:
    explicit UpdateSession(SessionWindow& window);
    // Aborts a running download and waits for it (within a bound), destroys the queued ones and
    // removes the temporary files that were still in use.
    ~UpdateSession();
    UpdateSession(const UpdateSession&) = delete;
    UpdateSession& operator=(const UpdateSession&) = delete;

    // Servers are tried in the order they were added.
    void AddServer(ServerEntry server);

    // The first step of a run: queues the download of the server list from `serverListAddress`;
    // the connection to the first server follows when that download has ended, however it ended.
    void StartSession(const std::wstring& serverListAddress);

    // Queues the manifest download of the current server (the first one, until a server fails).
    void ConnectServer();

    // Queues the download of one out-of-date file behind those already queued.
    void QueueFile(manifest::FileEntry file);

    // Starts the download at the front of the queue when none is running. Run by both timers and
    // right after each done message.
    void RunSchedulingStep();

    // Handler of WM_DOWNLOAD_DONE; a message for a download the session no longer holds is
    // ignored.
    void OnDownloadDone(const net::DownloadDone& done);

    // Whether the run has ended (the quit has been posted, or is about to be): nothing starts
    // any more. It is also what keeps the timers from starting downloads while a message box of
    // the done handler runs its own message loop.
    bool RunEnded() const { return runEnded_; }

    // The user ended the run: the running download is abandoned now, whatever the network does,
    // and nothing starts any more. Its local file is closed within the bound the destructor
    // waits for.
    void CancelDownloads();

    // A line in the run's log, if the run keeps one. Never fails the run.
    void Log(const std::wstring& line) const;

    // Removes the temporary list and manifest files now. For an end of the process that skips
    // the destructor (the close button): a file that a running download still writes goes when
    // the process ends, as the download shares it for deletion.
    void DeleteTemporaryFiles();

    // The download being fetched and those still queued.
    size_t TasksListed() const { return downloads_.size(); }

    RunFigures Figures;

    // Status text of a manifest that arrived but cannot be read.
    static constexpr const wchar_t* kUnreadableManifestText =
        L"更新文件列表格式错误, 请选择其他服务器进行尝试";
    // Status line (with the server's name) and box text of a manifest whose signature or digests
    // do not hold.
    static constexpr const wchar_t* kUnverifiedManifestStatus = L"更新文件列表校验失败：%ls";
    static constexpr const wchar_t* kUnverifiedManifestText =
        L"更新文件列表校验失败, 请选择其他服务器进行尝试";
    // Status line of a manifest whose signature verified.
    static constexpr const wchar_t* kVerifiedManifestStatus = L"更新文件列表签名校验成功：%ls";

private:
    struct Download {
        std::unique_ptr<net::HttpDownload> Task;
        TaskKind Kind;
        manifest::FileEntry File; // what an update file is installed as; empty for the lists
    };

    void Queue(TaskKind kind, const std::wstring& url, const std::wstring& localPath,
               manifest::FileEntry file = {});
    Download* Find(const void* task);
    void OnServerListDone(const Download& download, uint16_t code);
    void OnManifestDone(const Download& download, uint16_t code);
    // The manifest has been read and checked beside the window: the plan is queued.
    void OnPlanChecked();
    void OnFileDone(const Download& download, uint16_t code);
    void OnSignatureDone(const Download& download, uint16_t code);
    // Turns the manifest at `path` into the run's queue, once the signature file at
    // `signaturePath` verifies it (a build that trusts no key passes none: the plain manifest).
    void PlanFromManifest(const std::wstring& path,
                          const std::optional<std::wstring>& signaturePath);
    // Acts on the signature's verdict and removes the signature file: true for a verified
    // manifest; otherwise the manifest is removed too, and the pair fetched once more (an invalid
    // signature) or the server counted as failed.
    bool SignatureHolds(const std::wstring& manifestPath, const std::wstring& signaturePath,
                        const ManifestCheck& check);
    // A server's manifest could not be had: the next server is tried; after the last one the
    // error box is shown and the game hall is started.
    void OnManifestFailed(const std::wstring& errorText);
    void OnManifestFailed(const std::wstring& statusText, const std::wstring& boxText);
    void OnManifestUnverified();
    // A new temporary file with the prefix "Xml"; empty when none could be made.
    std::wstring MakeTemporaryFile();
    void DeleteTemporaryFile(const std::wstring& path);
    // Keeps what this run installed and verified for the next run's decision.
    void SaveInstallIndex();
    // After the last file: "更新完毕" and the game hall, or a box naming the files that could
    // not be put in place and no game hall.
    void EndAfterLastFile();
    void LaunchGameHallAndEnd();
    void QuitWithoutGameHall();

    SessionWindow& window_;
    const manifest::BaseFolders folders_ = manifest::ThisMachinesFolders();
    std::vector<ServerEntry> servers_;
    size_t serverIndex_ = 0;
    // The current server's manifest, kept while its signature file is fetched.
    std::wstring pendingManifest_;
    // A publish can fall between the manifest's request and the signature's: a signature that
    // does not verify has the pair fetched once more before the server counts as failed.
    bool pairRefetched_ = false;
    std::deque<Download> downloads_;
    // Loaded when the first manifest arrives; read by the plan's check while it runs, changed
    // only by installs, which come after it.
    manifest::InstallIndex index_;
    bool indexLoaded_ = false;
    std::unique_ptr<PlanCheck> planCheck_;
    // Nothing is started before the run has begun, so a window can be shown without a session.
    bool runStarted_ = false;
    bool runEnded_ = false;
    std::vector<std::wstring> temporaryFiles_;
    // One session of the HTTP client services for all of the run's downloads, opened with the
    // first; it keeps the server's connection alive from one file to the next.
    std::shared_ptr<net::InternetSession> internet_;
    // The one thread the run's downloads take turns on.
    std::unique_ptr<net::SharedThread> thread_ = std::make_unique<net::SharedThread>();

    // The running program, which renews itself differently from the other files.
    const std::wstring updaterProgram_ = ProgramPath();
    // Files of this run that could not be put in place, and the programs that held them.
    std::vector<std::wstring> notInstalled_;
    std::vector<std::wstring> holders_;
};

} // namespace session
