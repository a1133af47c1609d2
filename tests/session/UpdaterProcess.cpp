#include "UpdaterProcess.h"

#include "platform/WideString.h"

#include <set>

UpdaterProcess::~UpdaterProcess() {
    if (debugger_.joinable()) {
        if (!exited_) {
            HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, processId_);
            if (process) {
                ::TerminateProcess(process, 1);
                ::CloseHandle(process);
            }
        }
        stop_ = true;
        debugger_.join();
    }
    stop_ = true;
    if (watcher_.joinable()) {
        watcher_.join();
    }
    if (started_) {
        ::CloseHandle(started_);
    }
}

bool UpdaterProcess::Start(const std::wstring& program, const std::wstring& arguments,
                           const std::wstring& folder, bool closeBoxes) {
    closeBoxes_ = closeBoxes;
    started_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    // A debugger must wait for its debuggee's events on the thread that started it.
    debugger_ = std::thread(&UpdaterProcess::DebugLoop, this, commandLine, folder);
    ::WaitForSingleObject(started_, 30000);
    if (startFailed_ || processId_ == 0) {
        return false;
    }
    watcher_ = std::thread(&UpdaterProcess::WatchBoxes, this);
    return true;
}

void UpdaterProcess::DebugLoop(std::wstring commandLine, std::wstring folder) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                          DEBUG_ONLY_THIS_PROCESS, nullptr, folder.c_str(), &startup, &info)) {
        startFailed_ = true;
        ::SetEvent(started_);
        return;
    }
    processId_ = info.dwProcessId;
    ::CloseHandle(info.hThread);
    ::SetEvent(started_);

    while (!exited_) {
        DEBUG_EVENT event{};
        if (!::WaitForDebugEvent(&event, 100)) {
            if (stop_) {
                break;
            }
            continue;
        }
        DWORD continueStatus = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case OUTPUT_DEBUG_STRING_EVENT: {
            const OUTPUT_DEBUG_STRING_INFO& out = event.u.DebugString;
            const size_t unit = out.fUnicode ? sizeof(wchar_t) : 1;
            std::string bytes(out.nDebugStringLength * unit, '\0');
            SIZE_T read = 0;
            ::ReadProcessMemory(info.hProcess, out.lpDebugStringData, bytes.data(), bytes.size(),
                                &read);
            bytes.resize(read);
            std::wstring text;
            if (out.fUnicode) {
                text.assign(reinterpret_cast<const wchar_t*>(bytes.data()), read / unit);
            } else { // Wine hands the text over converted to the ANSI code page.
                text = MultiByteToWide(bytes, CP_ACP);
            }
            while (!text.empty() && (text.back() == L'\0' || text.back() == L'\n')) {
                text.pop_back();
            }
            {
                std::lock_guard<std::mutex> hold(mutex_);
                status_.push_back(text);
            }
            break;
        }
        case EXCEPTION_DEBUG_EVENT:
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
                continueStatus = DBG_EXCEPTION_NOT_HANDLED;
            }
            break;
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile) {
                ::CloseHandle(event.u.CreateProcessInfo.hFile);
            }
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile) {
                ::CloseHandle(event.u.LoadDll.hFile);
            }
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            exitCode_ = event.u.ExitProcess.dwExitCode;
            exited_ = true;
            break;
        default:
            break;
        }
        ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continueStatus);
    }
    ::CloseHandle(info.hProcess);
}

namespace {

struct BoxSearch {
    DWORD ProcessId;
    std::vector<HWND> Boxes;
    HWND Main = nullptr;
};

BOOL CALLBACK CollectWindows(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<BoxSearch*>(parameter);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    wchar_t className[64] = {};
    ::GetClassNameW(window, className, 64);
    if (owner != search->ProcessId || std::wstring(className) != L"#32770" ||
        !::IsWindowVisible(window)) {
        return TRUE;
    }
    // A message box has its text in a static control with id 0xFFFF; the main window has none.
    if (::GetDlgItem(window, 0xFFFF)) {
        search->Boxes.push_back(window);
    } else {
        search->Main = window;
    }
    return TRUE;
}

std::wstring WindowText(HWND window) {
    wchar_t text[2048] = {};
    ::GetWindowTextW(window, text, 2048);
    return text;
}

} // namespace

void UpdaterProcess::WatchBoxes() {
    std::set<HWND> seen;
    while (!stop_ && !exited_) {
        BoxSearch search{processId_, {}, nullptr};
        ::EnumWindows(CollectWindows, reinterpret_cast<LPARAM>(&search));
        for (HWND box : search.Boxes) {
            if (!seen.insert(box).second) {
                continue;
            }
            MessageBoxRecord record{WindowText(box), WindowText(::GetDlgItem(box, 0xFFFF))};
            {
                std::lock_guard<std::mutex> hold(mutex_);
                boxes_.push_back(record);
            }
            if (closeBoxes_) {
                ::PostMessageW(box, WM_COMMAND, IDOK, 0);
            }
        }
        ::Sleep(30);
    }
}

bool UpdaterProcess::WaitForExit(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!exited_ && std::chrono::steady_clock::now() < deadline) {
        ::Sleep(20);
    }
    if (exited_) {
        return true;
    }
    HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, processId_);
    if (process) {
        ::TerminateProcess(process, 1);
        ::CloseHandle(process);
    }
    return false;
}

bool UpdaterProcess::WaitForStatus(const std::wstring& line, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        for (const std::wstring& seen : StatusLines()) {
            if (seen == line) {
                return true;
            }
        }
        if (exited_ || std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        ::Sleep(20);
    }
}

std::vector<std::wstring> UpdaterProcess::StatusLines() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return status_;
}

std::vector<MessageBoxRecord> UpdaterProcess::Boxes() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return boxes_;
}

HWND UpdaterProcess::MainWindow() const {
    BoxSearch search{processId_, {}, nullptr};
    ::EnumWindows(CollectWindows, reinterpret_cast<LPARAM>(&search));
    return search.Main;
}
