#pragma once
// One HTTP download: fetches `URL` into a local file on a worker thread of its own and reports
// to `NotifyWindow` by posted messages: a progress message per chunk received and exactly one
// done message per run, carrying a DownloadError code.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "net/DownloadError.h"
#include "net/DownloadMessages.h"
#include "net/WorkerThread.h"

class CInetFile : public WorkerThread {
public:
    // A failure inside the transfer, caught at the end of the same run. Thrown as a heap
    // pointer; whoever catches it calls Delete().
    class CInetFileException {
    public:
        explicit CInetFileException(int32_t code) : Code(code) {}
        void Delete() { delete this; }

        int32_t Code;
    };

    CInetFile();
    // Raises `Cancel` and waits for a running transfer to end (it ends after its current read),
    // so a task may be deleted through a WorkerThread pointer at any time.
    ~CInetFile() override;

    // Counts the start, reaps any previous run, clears `Cancel` and starts the transfer.
    // False when the worker thread could not be created (no message is posted then).
    bool Start();
    std::wstring GetErrorText() const { return ErrorText; }
    // Sets `ErrorText` to the message of `code` and throws a new CInetFileException.
    [[noreturn]] void ThrowError(int32_t code);

    // The transfer; runs on the worker thread.
    void Run() override;

    std::wstring ErrorText;
    bool StatusCallback = false;
    // 2: an update file, written to TargetPath + ".update"; anything else: TargetPath itself.
    // Its low 16 bits travel in the high word of every message's wParam.
    int32_t Kind = 2;
    std::wstring TargetPath;
    std::wstring FileName;
    std::wstring URL;
    HWND NotifyWindow = nullptr;
    std::wstring ServerName;
    // Written by the owner's thread, polled by the worker after every chunk.
    std::atomic<bool> Cancel{false};
    int32_t RunCount = 0;
    // Bytes written to the local file in this run; read by the window while the worker writes.
    std::atomic<uint32_t> Received{0};
    uint32_t Length = 0;
    bool Register = false;
    bool ZipFile = false;
    bool ForceOverwrite = false;
    bool Execute = false;
    std::wstring ExecutePar;

private:
    void PostDone(WORD code);
};
