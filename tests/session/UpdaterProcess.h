#pragma once
// Refreshor.exe run by a test the way a user's machine runs it, observed from outside: the test
// is its debugger (to read the status lines it writes to the debugger output channel) and
// records and closes every message box it shows.

#include <windows.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct MessageBoxRecord {
    std::wstring Caption;
    std::wstring Text;
};

class UpdaterProcess {
public:
    UpdaterProcess() = default;
    // Ends the process if it still runs.
    ~UpdaterProcess();
    UpdaterProcess(const UpdaterProcess&) = delete;
    UpdaterProcess& operator=(const UpdaterProcess&) = delete;

    // Starts `program` with `arguments` in `folder` (its current directory). Boxes are closed
    // with OK as soon as they have been recorded, unless `closeBoxes` is false.
    bool Start(const std::wstring& program, const std::wstring& arguments,
               const std::wstring& folder, bool closeBoxes = true);

    // True when the process ended by itself within `timeout`; otherwise it is terminated.
    bool WaitForExit(std::chrono::milliseconds timeout);
    DWORD ExitCode() const { return exitCode_; }

    // Waits until a status line equal to `line` has been written.
    bool WaitForStatus(const std::wstring& line, std::chrono::milliseconds timeout);

    // The status lines, in order (the paint and repaint diagnostics left out).
    std::vector<std::wstring> StatusLines() const;
    std::vector<MessageBoxRecord> Boxes() const;
    // The main window (the 500 x 160 dialog), or null while it is not up.
    HWND MainWindow() const;
    DWORD ProcessId() const { return processId_; }

private:
    void DebugLoop(std::wstring commandLine, std::wstring folder);
    void WatchBoxes();

    mutable std::mutex mutex_;
    std::vector<std::wstring> status_;
    std::vector<MessageBoxRecord> boxes_;
    std::thread debugger_;
    std::thread watcher_;
    HANDLE started_ = nullptr; // signalled once the process exists (or failed to start)
    std::atomic<bool> startFailed_{false};
    bool closeBoxes_ = true;
    std::atomic<bool> exited_{false};
    std::atomic<bool> stop_{false};
    std::atomic<DWORD> processId_{0};
    std::atomic<DWORD> exitCode_{STILL_ACTIVE};
};
