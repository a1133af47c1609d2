#pragma once
// One HTTP download: fetches an address into a local file on a worker thread of its own and
// reports to a window by posted messages (DownloadMessages.h): progress at a bounded rate while
// data arrives and exactly one done message per run, carrying a DownloadError code. It knows
// nothing of what it fetches: the tag is the owner's, echoed in every message.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "net/DownloadError.h"
#include "net/DownloadMessages.h"
#include "net/InternetSession.h"
#include "net/WorkerThread.h"
#include "platform/Sha256.h"

class RunLog;

namespace net {

class HttpDownload : public WorkerThread {
public:
    // A null window means no messages at all.
    HttpDownload(std::wstring url, std::wstring localPath, HWND notifyWindow, uint16_t tag);
    // Aborts a running transfer and waits for it to end, so a download may be deleted at any
    // time. An owner that cannot afford to wait for a worker stuck in the system calls Abort
    // and WaitFor first (see there).
    ~HttpDownload() override;

    // What the owner knows of the file before it arrives, set before Start. A body of another
    // length than `length` (when above 0) ends the run with DownloadConnectFailed, like a
    // connection that broke; a body whose SHA-256 is not `sha256` ends it with
    // DownloadDigestMismatch and leaves no local file behind.
    void ExpectContent(uint64_t length, std::optional<Sha256Digest> sha256);
    // A body that runs past `limit` bytes (when above 0) ends the run with DownloadConnectFailed
    // as soon as it does, without reading the rest. Set before Start.
    void LimitLength(uint64_t limit) { lengthLimit_ = limit; }
    // Continue the local file an earlier run left, with a range request for the missing part.
    // Only with a length and a digest from ExpectContent: the digest is what proves that the
    // bytes already present and the new ones make the published file. Set before Start.
    void AllowResume() { allowResume_ = true; }
    // The session the requests go through; without one each run opens its own. Set before Start.
    void UseSession(std::shared_ptr<InternetSession> session) { session_ = std::move(session); }
    // The thread the transfer runs on, shared with the run's other downloads; without one each
    // run starts a thread of its own. It must outlive the run. Set before Start.
    void UseThread(SharedThread* shared) { sharedThread_ = shared; }
    // Where each request and the result are logged; null for no log. Set before Start.
    void UseLog(RunLog* log) { log_ = log; }

    // Reaps any previous run, clears the cancel flag and starts the transfer. False when the
    // worker thread could not be created (no message is posted then).
    bool Start();
    bool Started() const { return started_; }

    // Cancels now, from the owner's thread: closes the request in use, so that a send or read
    // blocked on a silent server returns at once, and the run ends with DownloadCancelled.
    void Abort();
    // Waits at most `milliseconds` for the run to end; true when it has ended and been reaped.
    // After a false the worker still uses this object: the owner must not delete it.
    bool WaitFor(DWORD milliseconds) { return WaitThread(milliseconds); }

    uint16_t Tag() const { return tag_; }
    const std::wstring& LocalPath() const { return localPath_; }
    // Bytes of the local file present in this run, those kept from an earlier run included.
    uint32_t Received() const { return received_; }
    // Where the last run continued an earlier run's file (0: from the start).
    uint64_t ResumedFrom() const { return resumedFrom_; }
    // The message of the last failure that has one; a fresh download holds the generic
    // connection text. Read after the done message, which orders it after the worker's write.
    const std::wstring& ErrorText() const { return errorText_; }

    // The transfer itself, on the calling thread: its result code, also the done message's.
    DownloadError Transfer();

private:
    struct Response;

    void Run() override;
    // Keeps `code`'s message as the error text and returns the code.
    DownloadError Fail(DownloadError code);
    // One fetch into the local file, continuing it from `resumeFrom` when above 0.
    DownloadError Fetch(InternetSession& session, uint64_t resumeFrom);
    // Sends GET for url_ (with a range from `rangeStart` when above 0) and follows redirects.
    DownloadError Request(InternetSession& session, uint64_t rangeStart, Response& response);
    void PostProgress();
    void PostDone(DownloadError code);
    void Log(const std::wstring& line) const;
    // The request Abort may close; false when an abort came first.
    bool TrackRequest(HINTERNET request);
    // Closes the request unless Abort already has.
    void CloseRequest(HINTERNET request);

    const std::wstring url_;
    const std::wstring localPath_;
    const HWND notifyWindow_;
    const uint16_t tag_;
    uint64_t expectedLength_ = 0;
    uint64_t lengthLimit_ = 0;
    std::optional<Sha256Digest> expectedSha256_;
    bool allowResume_ = false;
    std::shared_ptr<InternetSession> session_;
    SharedThread* sharedThread_ = nullptr;
    RunLog* log_ = nullptr;
    std::wstring errorText_;
    bool started_ = false;
    uint64_t resumedFrom_ = 0;
    // Written by the owner's thread, polled by the worker after every read.
    std::atomic<bool> cancel_{false};
    std::atomic<uint32_t> received_{0};
    // The request in use, shared between the worker (which opens and closes it) and Abort on the
    // owner's thread (which may close it first); the lock makes sure it is closed exactly once.
    std::mutex requestLock_;
    HINTERNET activeRequest_ = nullptr;
    bool requestClosedByAbort_ = false;
};

} // namespace net
