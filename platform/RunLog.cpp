#include "platform/RunLog.h"

#include <shlobj.h>

#include "platform/FileUtil.h"
#include "platform/WideString.h"

std::wstring RunLog::DefaultPath() {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT,
                                  folder))) {
        return {};
    }
    return std::wstring(folder) + L"\\Halvenport\\Refreshor.log";
}

RunLog::RunLog(const std::wstring& path, uint64_t limit) : path_(path), limit_(limit) {
    if (!path_.empty()) {
        CreateParentFolders(path_);
        Open();
    }
}

void RunLog::Open() {
    // Append-only access: every write lands at the current end even when another updater (of
    // another installation) appends to the same log. Delete sharing lets either of them rotate
    // the file while the other holds it.
    file_.reset(::CreateFileW(path_.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

void RunLog::Rotate() {
    file_.reset();
    std::wstring previous = path_ + L".1";
    ::MoveFileExW(path_.c_str(), previous.c_str(), MOVEFILE_REPLACE_EXISTING);
    // When the move failed (a reader without delete sharing), the log goes on in the old file
    // rather than stopping: a long log beats a lost one.
    Open();
}

void RunLog::Write(std::wstring_view line) noexcept {
    try {
        SYSTEMTIME now{};
        ::GetLocalTime(&now);
        std::wstring text =
            FormatW(L"%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear, now.wMonth, now.wDay,
                    now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
        text.append(line);
        for (wchar_t& c : text) {
            if (c == L'\r' || c == L'\n') {
                c = L' ';
            }
        }
        text += L"\r\n";
        std::string bytes = WideToUtf8(text);

        std::lock_guard<std::mutex> hold(lock_);
        if (!file_) {
            return;
        }
        LARGE_INTEGER size{};
        if (::GetFileSizeEx(file_.get(), &size) && size.QuadPart > 0 &&
            static_cast<uint64_t>(size.QuadPart) + bytes.size() > limit_) {
            Rotate();
            if (!file_) {
                return;
            }
        }
        // Straight to the system with no buffer of our own: the line survives the process
        // being killed a moment later, at the cost of one system call per line.
        DWORD written = 0;
        ::WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    } catch (...) {
        // Out of memory while formatting: the line is dropped, the run goes on.
    }
}
