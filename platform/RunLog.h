#pragma once
// A log of what a run did, for support: a player can send the file when a run goes wrong.
// Lines are UTF-8, each with a local timestamp, appended to a file that is kept small by moving
// it to "<name>.1" when a line would grow it past its limit.

#include <windows.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/UniqueHandle.h"

class RunLog {
public:
    static constexpr uint64_t kDefaultLimit = 1024 * 1024;

    // "%LOCALAPPDATA%\Halvenport\Refreshor.log"; empty when the folder is unknown.
    static std::wstring DefaultPath();

    // Opens (creating its folder and itself when missing) the log at `path` for appending. An
    // empty path, or a file that cannot be opened, makes a log that writes nothing.
    explicit RunLog(const std::wstring& path, uint64_t limit = kDefaultLimit);
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    // Appends "<yyyy-mm-dd hh:mm:ss.mmm> <line>" and a line break. Line breaks inside `line`
    // become spaces, so one call is one line. Safe from any thread; never fails its caller.
    // Each line goes to the operating system before the call returns, so a killed process
    // loses nothing it logged.
    void Write(std::wstring_view line) noexcept;

    bool IsOpen() const { return static_cast<bool>(file_); }
    const std::wstring& Path() const { return path_; }

private:
    void Open();
    void Rotate();

    std::wstring path_;
    uint64_t limit_;
    // Written from the window's thread and from download workers; the mutex keeps lines whole
    // and the rotation single.
    std::mutex lock_;
    UniqueFile file_;
};
