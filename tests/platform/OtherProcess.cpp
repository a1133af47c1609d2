#include "OtherProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Scratch.h"
#include "platform/InstallGuard.h"

namespace {

constexpr wchar_t kFolderVariable[] = L"HALVENPORT_OTHER_PROCESS_FOLDER";
constexpr wchar_t kFileVariable[] = L"HALVENPORT_OTHER_PROCESS_FILE";
constexpr wchar_t kGuardVariable[] = L"HALVENPORT_OTHER_PROCESS_GUARD";
// Bounds every wait, so a test that fails half-way never leaves a process behind for long.
constexpr auto kLongestWait = std::chrono::seconds(30);

std::wstring Variable(const wchar_t* name) {
    wchar_t value[MAX_PATH * 2] = {};
    DWORD n = ::GetEnvironmentVariableW(name, value, static_cast<DWORD>(std::size(value)));
    return n > 0 && n < std::size(value) ? std::wstring(value, n) : std::wstring();
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

OtherProcess::~OtherProcess() {
    Stop();
}

std::wstring OtherProcess::ThisProgram() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

bool OtherProcess::Start(const std::wstring& program, const std::wstring& folder,
                         const Holdings& holdings) {
    stopFile_ = folder + L"\\stop";
    const std::wstring readyFile = folder + L"\\ready";
    ::DeleteFileW(stopFile_.c_str());
    ::DeleteFileW(readyFile.c_str());
    // The child inherits the variables; they are cleared again at once so that nothing else
    // this test program starts sees them.
    ::SetEnvironmentVariableW(kFolderVariable, folder.c_str());
    ::SetEnvironmentVariableW(kFileVariable, holdings.File.c_str());
    ::SetEnvironmentVariableW(kGuardVariable, holdings.GuardFolder.c_str());
    std::wstring commandLine =
        L"\"" + program + L"\" --gtest_filter=OtherProcessMode.HoldsWhatItIsToldUntilStopped";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    BOOL started = ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                    nullptr, nullptr, &startup, &info);
    for (const wchar_t* name : {kFolderVariable, kFileVariable, kGuardVariable}) {
        ::SetEnvironmentVariableW(name, nullptr);
    }
    if (!started) {
        return false;
    }
    ::CloseHandle(info.hThread);
    process_ = info.hProcess;
    const auto deadline = std::chrono::steady_clock::now() + kLongestWait;
    while (!Exists(readyFile)) {
        if (std::chrono::steady_clock::now() > deadline ||
            ::WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    report_ = ReadBytes(readyFile);
    return true;
}

void OtherProcess::Stop() {
    if (process_ == nullptr) {
        return;
    }
    WriteBytes(stopFile_, "stop");
    if (::WaitForSingleObject(process_, 30 * 1000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process_, 1);
        ::WaitForSingleObject(process_, INFINITE);
    }
    ::CloseHandle(process_);
    process_ = nullptr;
}

void OtherProcess::Kill() {
    if (process_ == nullptr) {
        return;
    }
    ::TerminateProcess(process_, 1);
    ::WaitForSingleObject(process_, INFINITE);
    ::CloseHandle(process_);
    process_ = nullptr;
}

// The child's side: a test that does nothing unless started by OtherProcess::Start.
TEST(OtherProcessMode, HoldsWhatItIsToldUntilStopped) {
    const std::wstring folder = Variable(kFolderVariable);
    if (folder.empty()) {
        GTEST_SKIP() << "runs only as the other process of a test";
    }
    HANDLE file = INVALID_HANDLE_VALUE;
    const std::wstring filePath = Variable(kFileVariable);
    if (!filePath.empty()) {
        file = ::CreateFileW(filePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
    }
    std::string report = "ready";
    std::unique_ptr<InstallGuard> guard;
    HWND window = nullptr;
    const std::wstring guardFolder = Variable(kGuardVariable);
    if (!guardFolder.empty()) {
        guard = std::make_unique<InstallGuard>(guardFolder);
        report = guard->Owned() ? "owned" : "not owned";
        window = ::CreateWindowExW(0, L"STATIC", L"other updater", WS_POPUP | WS_VISIBLE, 0, 0, 50,
                                   50, nullptr, nullptr, nullptr, nullptr);
        InstallGuard::MarkWindow(window, guardFolder);
    }
    WriteBytes(folder + L"\\ready", report);
    const auto deadline = std::chrono::steady_clock::now() + kLongestWait;
    while (!Exists(folder + L"\\stop") && std::chrono::steady_clock::now() < deadline) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageW(&message);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (window != nullptr) {
        ::DestroyWindow(window);
    }
    if (file != INVALID_HANDLE_VALUE) {
        ::CloseHandle(file);
    }
}
