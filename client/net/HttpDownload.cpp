#include "net/HttpDownload.h"

#include <wininet.h>

#include <cwchar>
#include <exception>
#include <utility>

#include "platform/UniqueHandle.h"

namespace net {

namespace {

constexpr DWORD_PTR kRequestContext = 1;
constexpr DWORD kChunkSize = 1024;

// Status notifications are switched on only so that the HTTP layer behaves as it does with a
// listener attached; nothing is done with them.
void CALLBACK IgnoreStatus(HINTERNET, DWORD_PTR, DWORD, LPVOID, DWORD) {}

struct ParsedUrl {
    std::wstring Server;
    std::wstring Object;
    INTERNET_PORT Port = INTERNET_DEFAULT_HTTP_PORT;
};

// Only http addresses with a host are usable. The object path keeps the query; the fragment is
// the client's own and never goes to the server.
bool ParseHttpUrl(const std::wstring& url, ParsedUrl& parsed) {
    if (url.empty() || url.find(L'\0') != std::wstring::npos) {
        return false;
    }
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof(parts);
    // Non-zero lengths with null buffers ask for pointers into `url` instead of copies.
    parts.dwSchemeLength = 1;
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!::InternetCrackUrlW(url.c_str(), 0, 0, &parts)) {
        return false;
    }
    if (parts.nScheme != INTERNET_SCHEME_HTTP || parts.lpszHostName == nullptr ||
        parts.dwHostNameLength == 0) {
        return false;
    }
    parsed.Server.assign(parts.lpszHostName, parts.dwHostNameLength);
    parsed.Port = parts.nPort;
    if (parts.lpszUrlPath != nullptr) {
        parsed.Object.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    }
    if (parts.lpszExtraInfo != nullptr) {
        parsed.Object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    }
    size_t fragment = parsed.Object.find(L'#');
    if (fragment != std::wstring::npos) {
        parsed.Object.resize(fragment);
    }
    if (parsed.Object.empty()) {
        parsed.Object = L"/";
    }
    return true;
}

// The announced body length, when the response has one that reads as a number.
bool QueryContentLength(HINTERNET request, unsigned long long& length) {
    wchar_t text[32] = {};
    DWORD size = sizeof(text);
    if (!::HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) {
        return false;
    }
    wchar_t* end = nullptr;
    length = std::wcstoull(text, &end, 10);
    return end != text && *end == L'\0';
}

bool WriteAll(HANDLE file, const char* data, DWORD count) {
    while (count > 0) {
        DWORD written = 0;
        if (!::WriteFile(file, data, count, &written, nullptr) || written == 0) {
            return false;
        }
        data += written;
        count -= written;
    }
    return true;
}

} // namespace

HttpDownload::HttpDownload(std::wstring url, std::wstring localPath, HWND notifyWindow,
                           uint16_t tag)
    : url_(std::move(url)), localPath_(std::move(localPath)), notifyWindow_(notifyWindow),
      tag_(tag), errorText_(DownloadErrorText(-1)) {}

HttpDownload::~HttpDownload() {
    // The worker notices the flag when its current read returns, so this wait is bounded by one
    // read; the base destructor must not close the done event before the run is reaped.
    cancel_ = true;
    WaitThread();
}

void HttpDownload::ExpectContent(uint64_t length, std::optional<Sha256Digest> sha256) {
    expectedLength_ = length;
    lengthLimit_ = length;
    expectedSha256_ = sha256;
}

bool HttpDownload::Start() {
    started_ = true;
    WaitThread();
    cancel_ = false;
    return StartThread();
}

DownloadError HttpDownload::Fail(DownloadError code) {
    errorText_ = DownloadErrorText(code);
    return code;
}

void HttpDownload::Run() {
    DownloadError result = DownloadConnectFailed;
    try {
        result = Transfer();
    } catch (const std::exception&) {
        // Out of memory ends the run like a failure of the connection: the done message must
        // still go out with a non-zero code.
    }
    if (notifyWindow_ != nullptr) {
        PostDone(result);
    }
}

// Failures of the HTTP client services end the run with code 2 and leave the error text alone;
// the task's own failures (address, status, local file) set it. Every handle is closed when this
// returns, before Run posts the done message: the receiver may delete this task at once.
DownloadError HttpDownload::Transfer() {
    // Kept because the system always had it: two user agents, the session's here and a
    // User-Agent header on the request below.
    UniqueInternet session(
        ::InternetOpenW(L"Tessaly - MFC App", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) {
        return DownloadConnectFailed;
    }
    ParsedUrl url;
    if (!ParseHttpUrl(url_, url)) {
        return Fail(DownloadBadUrl);
    }
    if (::InternetSetStatusCallbackW(session.get(), &IgnoreStatus) ==
        INTERNET_INVALID_STATUS_CALLBACK) {
        return DownloadConnectFailed;
    }
    UniqueInternet connection(::InternetConnectW(session.get(), url.Server.c_str(), url.Port,
                                                 nullptr, nullptr, INTERNET_SERVICE_HTTP, 0,
                                                 kRequestContext));
    if (!connection) {
        return DownloadConnectFailed;
    }
    UniqueInternet request(::HttpOpenRequestW(connection.get(), L"GET", url.Object.c_str(), nullptr,
                                              nullptr, nullptr, INTERNET_FLAG_RELOAD,
                                              kRequestContext));
    if (!request) {
        return DownloadConnectFailed;
    }
    ::HttpAddRequestHeadersW(request.get(), L"Accept: */*\r\nUser-Agent: Tessaly_Zelk\r\n",
                             static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW);
    if (!::HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) {
        return DownloadConnectFailed;
    }

    // Redirects have been followed by the HTTP layer: this is the final response's status.
    DWORD status = 0;
    DWORD statusSize = sizeof(status);
    if (!::HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                          &statusSize, nullptr) ||
        status != HTTP_STATUS_OK) {
        // Checked before the local file is opened, so a refused download neither creates nor
        // truncates it.
        return Fail(DownloadServerFileFailed);
    }
    unsigned long long announced = 0;
    const bool lengthKnown = QueryContentLength(request.get(), announced);

    // Nobody else may read or write it while the download runs. Deleting is shared: the close
    // button ends the process without waiting for the worker, and its temporary files must
    // still go (they go when this handle closes). Another updater cannot rename the file into
    // place meanwhile, as one updater at a time works on an installation.
    UniqueFile file(::CreateFileW(localPath_.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return Fail(DownloadLocalFileFailed);
    }

    received_ = 0;
    unsigned long long total = 0;
    // Hashed as the bytes arrive, so checking a download never reads the file a second time.
    std::optional<Sha256> hasher;
    if (expectedSha256_) {
        hasher.emplace();
    }
    char buffer[kChunkSize];
    for (;;) {
        DWORD count = 0;
        if (!::InternetReadFile(request.get(), buffer, kChunkSize, &count)) {
            return DownloadConnectFailed;
        }
        if (count == 0) {
            break;
        }
        // A full disk or a failing device must not pass for a finished download.
        if (!WriteAll(file.get(), buffer, count)) {
            return Fail(DownloadLocalFileFailed);
        }
        if (hasher) {
            hasher->Update(buffer, count);
        }
        received_ += count;
        total += count;
        if (notifyWindow_ != nullptr) {
            const DownloadProgress progress{tag_, static_cast<uint16_t>(count), received_};
            ::PostMessageW(notifyWindow_, WM_DOWNLOAD_PROGRESS, ProgressWParam(progress),
                           ProgressLParam(progress));
        }
        // Looked at after the progress message, so a cancelled run still reports the chunk it
        // wrote.
        if (cancel_) {
            return DownloadCancelled;
        }
        // More than the owner expects is already wrong; a server sending without end must not
        // fill the disk first.
        if (lengthLimit_ > 0 && total > lengthLimit_) {
            return DownloadConnectFailed;
        }
    }
    // The HTTP layer ends a body that the server cut short like a complete one (the read just
    // returns 0 bytes), so only the announced length tells a truncated file apart.
    if (lengthKnown && total < announced) {
        return DownloadConnectFailed;
    }
    // Neither a chunked body nor one ended by closing the connection announces a length, and a
    // server may answer 200 with an error page: the owner's length is what tells them apart.
    if (expectedLength_ > 0 && total != expectedLength_) {
        return DownloadConnectFailed;
    }
    if (hasher) {
        // A digest that could not be computed proves nothing, so it fails like a wrong one.
        const std::optional<Sha256Digest> digest = hasher->Finish();
        if (!digest || *digest != *expectedSha256_) {
            // Nobody may install these bytes, not even by mistake on a later run.
            file.reset();
            ::DeleteFileW(localPath_.c_str());
            return DownloadDigestMismatch;
        }
    }
    return DownloadOk;
}

void HttpDownload::PostDone(DownloadError code) {
    const DownloadDone done{tag_, static_cast<uint16_t>(code), this};
    // A thread's queue holds a limited number of posted messages (10,000 by default on Windows),
    // and a fast download posts one per kilobyte: a window that falls behind could refuse the
    // one message its session waits for. Retry while the queue is full; give up when the owner
    // is deleting the task, because it is then blocked waiting for this thread and ignores the
    // message anyway.
    while (!::PostMessageW(notifyWindow_, WM_DOWNLOAD_DONE, DoneWParam(done), DoneLParam(done)) &&
           ::GetLastError() == ERROR_NOT_ENOUGH_QUOTA && !cancel_ && ::IsWindow(notifyWindow_)) {
        ::Sleep(10);
    }
}

} // namespace net
