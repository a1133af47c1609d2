#pragma once
// A second process for the tests that need one: a copy of this test program, started in a mode
// where it holds what it is told to (a file open with read and delete sharing, the install guard
// of a folder with a marked window) until it is stopped or killed.

#include <windows.h>

#include <string>

class OtherProcess {
public:
    struct Holdings {
        std::wstring File;        // opened with read and delete sharing
        std::wstring GuardFolder; // guarded, with a marked window
    };

    OtherProcess() = default;
    // Stops the process (and waits for it) if it still runs.
    ~OtherProcess();
    OtherProcess(const OtherProcess&) = delete;
    OtherProcess& operator=(const OtherProcess&) = delete;

    // Starts `program` (this test program or a copy of it), using `folder` for its stop and
    // ready files, and waits until it holds everything. False when it did not get that far.
    bool Start(const std::wstring& program, const std::wstring& folder, const Holdings& holdings);
    // What the process wrote once it was ready ("owned" or "not owned" for a guard).
    const std::string& Report() const { return report_; }
    // Asks it to let go and end, and waits for that.
    void Stop();
    // Ends it at once, as a crash or the task manager would.
    void Kill();

    static std::wstring ThisProgram();

private:
    HANDLE process_ = nullptr;
    std::wstring stopFile_;
    std::string report_;
};
