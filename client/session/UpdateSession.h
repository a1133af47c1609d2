#pragma once
// One update run: fetch the server list, download a server's manifest, queue the out-of-date
// files and download them strictly one at a time, installing each as it arrives, then start the
// game hall. Driven by the window's timers and by the tasks' done messages, all on the
// user-interface thread; it talks to the window only through SessionWindow.

#include "manifest/FileList.h"
#include "manifest/ServerList.h"
#include "manifest/TaskList.h"
#include "platform/CriticalSection.h"
#include "session/SessionWindow.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class CInetFile;

// Task kinds, carried in the high word of both download messages.
enum TaskKind : int32_t {
    KindServerList = 0, // the server list, into a temporary file
    KindManifest = 1,   // a server's manifest, into a temporary file
    KindUpdateFile = 2, // one out-of-date file, beside its target with ".update" appended
};

class UpdateSession {
public:
    explicit UpdateSession(SessionWindow& window);
    // Cancels and waits for a running task, destroys the queued ones and removes the temporary
    // files that were still in use.
    ~UpdateSession();
    UpdateSession(const UpdateSession&) = delete;
    UpdateSession& operator=(const UpdateSession&) = delete;

    // The first step of a run: queues the download of the server list from `serverListAddress`;
    // the connection to the first server follows when that download has ended, however it ended.
    void StartSession(const std::wstring& serverListAddress);

    // Queues the manifest download of the current server (the first one, until a server fails).
    void ConnectServer();

    // Starts the task at the front of the queue when none is running. Run by both timers and
    // right after each done message.
    void RunSchedulingStep();

    // Handler of WM_DOWNLOAD_DONE.
    LRESULT OnDownloadDone(WPARAM wParam, LPARAM lParam);

    // Whether the run has ended (the quit has been posted): nothing starts any more.
    bool RunEnded() const { return runEnded_; }

    ServerList Servers;
    FileList Files;
    TaskList Tasks;
    int32_t FilesToUpdate = 0; // out-of-date files of the plan; 0 until a manifest is in
    uint32_t TotalBytes = 0;   // their summed length, wrapping at 32 bits
    uint32_t BytesDone = 0;    // update-file bytes received; the window adds to it
    int32_t MaxActive = 5;
    int32_t ActiveCount = 0;
    // Held by the window's progress handler, the scheduling step and the done handler. Recursive:
    // a message box inside the done handler runs a message loop that re-enters the others.
    CriticalSection Lock;

    // Status text of a manifest that arrived but cannot be read.
    static constexpr const wchar_t* UnreadableManifestText =
        L"更新文件列表格式错误, 请选择其他服务器进行尝试";

private:
    void OnServerListDone(CInetFile& task, int32_t code);
    void OnManifestDone(CInetFile& task, int32_t code);
    void OnFileDone(CInetFile& task, int32_t code);
    // A server's manifest could not be had: the next server is tried; after the last one the
    // error box is shown and the game hall is started.
    void OnManifestFailed(CInetFile& task, const std::wstring& errorText);
    void QueuePlan(const CInetFile& manifestTask);
    // A new temporary file with the prefix "Xml"; empty when none could be made.
    std::wstring MakeTemporaryFile();
    void DeleteTemporaryFile(const std::wstring& path);
    void LaunchGameHallAndEnd();
    void QuitWithoutGameHall();

    SessionWindow& window_;
    size_t serverIndex_ = 0;
    // Nothing is started before the run has begun, so a window can be shown without a session.
    bool runStarted_ = false;
    bool runEnded_ = false;
    std::vector<std::wstring> temporaryFiles_;
};
