#pragma once
// One HTTP download: fetches an address into a local file on a worker thread of its own and
// reports to a window by posted messages (DownloadMessages.h): a progress message per chunk
// received and exactly one done message per run, carrying a DownloadError code. It knows nothing
// of what it fetches: the tag is the owner's, echoed in every message.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "net/DownloadError.h"
#include "platform/Sha256.h"
#include "net/DownloadMessages.h"
#include "net/WorkerThread.h"

namespace net {

class HttpDownload : public WorkerThread {
public:
    // A null window means no messages at all.
    HttpDownload(std::wstring url, std::wstring localPath, HWND notifyWindow, uint16_t tag);
    // Raises the cancel flag and waits for a running transfer to end (it ends after its current
    // read), so a download may be deleted at any time.
    ~HttpDownload() override;

    // What the owner knows of the file before it arrives, set before Start. A body of another
    // length than `length` (when above 0) ends the run with DownloadConnectFailed, like a
    // connection that broke; a body whose SHA-256 is not `sha256` ends it with
    // DownloadDigestMismatch and leaves no local file behind.
    void ExpectContent(uint64_t length, std::optional<Sha256Digest> sha256);
    // A body that runs past `limit` bytes (when above 0) ends the run with DownloadConnectFailed
    // as soon as it does, without reading the rest. Set before Start.
    void LimitLength(uint64_t limit) { lengthLimit_ = limit; }

    // Reaps any previous run, clears the cancel flag and starts the transfer. False when the
    // worker thread could not be created (no message is posted then).
    bool Start();
    bool Started() const { return started_; }

    uint16_t Tag() const { return tag_; }
    const std::wstring& LocalPath() const { return localPath_; }
    // Bytes written to the local file in this run.
    uint32_t Received() const { return received_; }
    // The message of the last failure that has one; a fresh download holds the generic
    // connection text. Read after the done message, which orders it after the worker's write.
    const std::wstring& ErrorText() const { return errorText_; }

    // The transfer itself, on the calling thread: its result code, also the done message's.
    DownloadError Transfer();

private:
    void Run() override;
    // Keeps `code`'s message as the error text and returns the code.
    DownloadError Fail(DownloadError code);
    void PostDone(DownloadError code);

    const std::wstring url_;
    const std::wstring localPath_;
    const HWND notifyWindow_;
    const uint16_t tag_;
    uint64_t expectedLength_ = 0;
    uint64_t lengthLimit_ = 0;
    std::optional<Sha256Digest> expectedSha256_;
    std::wstring errorText_;
    bool started_ = false;
    // Written by the owner's thread, polled by the worker after every chunk.
    std::atomic<bool> cancel_{false};
    std::atomic<uint32_t> received_{0};
};

} // namespace net
