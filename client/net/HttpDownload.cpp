#include "net/HttpDownload.h"

#include <wininet.h>

#include <cwchar>
#include <exception>
#include <memory>
#include <utility>

#include "net/BackgroundSha256.h"
#include "platform/RunLog.h"
#include "platform/UniqueHandle.h"
#include "platform/WideString.h"

namespace net {

namespace {

constexpr DWORD_PTR kRequestContext = 1;
// The HTTP client services cost about the same per read whatever its size: 1 KiB reads held a
// download from loopback to about 14 MiB/s under Wine, 64 KiB reads reach about 300 MiB/s.
constexpr DWORD kReadSize = 64 * 1024;
// Progress goes to the window at most this often (50 a second): enough for a smooth bar, and far
// below what fills a thread's message queue (10,000 posted messages on Windows), which would
// make posting fail and the figures end short.
constexpr ULONGLONG kProgressIntervalMs = 20;

// A rate limit for one kind of event: lets the first one through and then at most one per
// interval.
class RateLimit {
public:
    explicit RateLimit(ULONGLONG intervalMs) : interval_(intervalMs) {}
    bool Due() {
        const ULONGLONG now = ::GetTickCount64();
        if (passed_ && now - last_ < interval_) {
            return false;
        }
        passed_ = true;
        last_ = now;
        return true;
    }

private:
    ULONGLONG interval_;
    ULONGLONG last_ = 0;
    bool passed_ = false;
};

// How much the next read asks for. A read waits until it has all it asked for or the body has
// ended, so a large read on a slow line would freeze the figures for seconds, and a small one on
// a fast line costs a call per few kilobytes. The size doubles after a read that filled quickly
// and halves after one that took long, between 1 KiB and kReadSize.
class ReadSize {
public:
    DWORD Next() const { return size_; }
    void Took(DWORD asked, DWORD got, ULONGLONG milliseconds) {
        if (got == asked && milliseconds < kQuickMs && size_ < kReadSize) {
            size_ *= 2;
        } else if (milliseconds > kSlowMs && size_ > kMinimum) {
            size_ /= 2;
        }
    }

private:
    static constexpr DWORD kMinimum = 1024;
    static constexpr ULONGLONG kQuickMs = 20;
    static constexpr ULONGLONG kSlowMs = 100;
    DWORD size_ = 8 * 1024;
};

struct ParsedUrl {
    std::wstring Server;
    std::wstring Object;
    INTERNET_PORT Port = INTERNET_DEFAULT_HTTP_PORT;
    bool Secure = false;
};

// Only http addresses with a host are usable (and, as the target of a redirect, https ones,
// which the HTTP layer has always followed). The object path keeps the query; the fragment is
// the client's own and never goes to the server.
bool ParseUrl(const std::wstring& url, bool httpsToo, ParsedUrl& parsed) {
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
    const bool http = parts.nScheme == INTERNET_SCHEME_HTTP;
    const bool https = httpsToo && parts.nScheme == INTERNET_SCHEME_HTTPS;
    if ((!http && !https) || parts.lpszHostName == nullptr || parts.dwHostNameLength == 0) {
        return false;
    }
    parsed.Server.assign(parts.lpszHostName, parts.dwHostNameLength);
    parsed.Port = parts.nPort;
    parsed.Secure = https;
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

// A response header as text; empty when absent.
std::wstring QueryHeader(HINTERNET request, DWORD header) {
    std::wstring text(128, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        if (::HttpQueryInfoW(request, header, text.data(), &size, nullptr)) {
            text.resize(size / sizeof(wchar_t));
            return text;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            break;
        }
        text.resize(size / sizeof(wchar_t) + 1);
    }
    return {};
}

// The announced body length, when the response has one that reads as a number.
bool QueryContentLength(HINTERNET request, unsigned long long& length) {
    const std::wstring text = QueryHeader(request, HTTP_QUERY_CONTENT_LENGTH);
    wchar_t* end = nullptr;
    length = std::wcstoull(text.c_str(), &end, 10);
    return !text.empty() && end != text.c_str() && *end == L'\0';
}

// The first byte of a "Content-Range: bytes F-L/T" answer; nothing when it reads otherwise.
std::optional<uint64_t> QueryContentRangeStart(HINTERNET request) {
    const std::wstring text = QueryHeader(request, HTTP_QUERY_CONTENT_RANGE);
    if (text.rfind(L"bytes ", 0) != 0) {
        return std::nullopt;
    }
    const wchar_t* digits = text.c_str() + 6;
    wchar_t* end = nullptr;
    const unsigned long long first = std::wcstoull(digits, &end, 10);
    if (end == digits || *end != L'-') {
        return std::nullopt;
    }
    return first;
}

bool IsRedirect(DWORD status) {
    return status == HTTP_STATUS_MOVED || status == HTTP_STATUS_REDIRECT ||
           status == HTTP_STATUS_REDIRECT_METHOD || status == HTTP_STATUS_REDIRECT_KEEP_VERB ||
           status == 308;
}

// A redirect's Location against the address that sent it; empty when they do not combine.
std::wstring CombineUrl(const std::wstring& base, const std::wstring& location) {
    std::wstring combined(2048, L'\0');
    DWORD size = static_cast<DWORD>(combined.size());
    if (!::InternetCombineUrlW(base.c_str(), location.c_str(), combined.data(), &size,
                               ICU_NO_ENCODE)) {
        return {};
    }
    combined.resize(size);
    return combined;
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

// Feeds the first `length` bytes of `file` to `hasher` and leaves the file positioned at
// `length`, cut there: the digest covers the whole file, so the bytes an earlier run left go in
// before those that continue them.
bool HashExistingPart(HANDLE file, uint64_t length, std::optional<BackgroundSha256>& hasher,
                      char* buffer) {
    uint64_t done = 0;
    while (done < length) {
        const DWORD want =
            static_cast<DWORD>(length - done < kReadSize ? length - done : kReadSize);
        DWORD got = 0;
        if (!::ReadFile(file, buffer, want, &got, nullptr) || got == 0) {
            return false;
        }
        if (hasher) {
            hasher->Update(buffer, got);
        }
        done += got;
    }
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(length);
    return ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
}

uint64_t FileLength(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return 0;
    }
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

} // namespace

// The connection and request of one answer. The request goes through the download's
// CloseRequest, since Abort may have closed it from the owner's thread already.
struct HttpDownload::Response {
    explicit Response(HttpDownload& owner) : Owner(owner) {}
    ~Response() { Close(); }
    Response(const Response&) = delete;
    Response& operator=(const Response&) = delete;

    void Close() {
        if (Request != nullptr) {
            Owner.CloseRequest(Request);
            Request = nullptr;
        }
        Connection.reset();
    }

    HttpDownload& Owner;
    UniqueInternet Connection;
    HINTERNET Request = nullptr;
    DWORD Status = 0;
    std::wstring Address; // the one that answered, after redirects
    ULONGLONG Sent = 0;   // tick count when the request went out
};

HttpDownload::HttpDownload(std::wstring url, std::wstring localPath, HWND notifyWindow,
                           uint16_t tag)
    : url_(std::move(url)), localPath_(std::move(localPath)), notifyWindow_(notifyWindow),
      tag_(tag), errorText_(DownloadErrorText(-1)) {}

HttpDownload::~HttpDownload() {
    // Closing the request makes a blocked read return at once; the base destructor must not
    // close the done event before the run is reaped.
    Abort();
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
    return sharedThread_ != nullptr ? StartOn(*sharedThread_) : StartThread();
}

void HttpDownload::Abort() {
    std::lock_guard<std::mutex> hold(requestLock_);
    cancel_ = true;
    if (activeRequest_ != nullptr && !requestClosedByAbort_) {
        // The HTTP client services let a handle be closed while another thread waits in a call
        // on it: the call then returns with an error.
        ::InternetCloseHandle(activeRequest_);
        requestClosedByAbort_ = true;
    }
}

bool HttpDownload::TrackRequest(HINTERNET request) {
    std::lock_guard<std::mutex> hold(requestLock_);
    if (cancel_) {
        return false;
    }
    activeRequest_ = request;
    requestClosedByAbort_ = false;
    return true;
}

void HttpDownload::CloseRequest(HINTERNET request) {
    std::lock_guard<std::mutex> hold(requestLock_);
    if (request == activeRequest_) {
        const bool closed = requestClosedByAbort_;
        activeRequest_ = nullptr;
        requestClosedByAbort_ = false;
        if (closed) {
            return;
        }
    }
    ::InternetCloseHandle(request);
}

DownloadError HttpDownload::Fail(DownloadError code) {
    errorText_ = DownloadErrorText(code);
    return code;
}

void HttpDownload::Log(const std::wstring& line) const {
    if (log_ != nullptr) {
        log_->Write(line);
    }
}

void HttpDownload::Run() {
    DownloadError result = DownloadConnectFailed;
    try {
        result = Transfer();
    } catch (const std::exception&) {
        // Out of memory ends the run like a failure of the connection: the done message must
        // still go out with a non-zero code.
    }
    Log(FormatW(L"download %ls: result %d, %u bytes in the file", url_.c_str(),
                static_cast<int>(result), static_cast<unsigned>(received_)));
    if (notifyWindow_ != nullptr) {
        PostDone(result);
    }
}

// Failures of the HTTP client services (a time limit included) end the run with code 2 and leave
// the error text alone; the task's own failures (address, status, local file) set it. Every
// handle is closed when this returns, before Run posts the done message: the receiver may delete
// this task at once.
DownloadError HttpDownload::Transfer() {
    resumedFrom_ = 0;
    received_ = 0;
    std::shared_ptr<InternetSession> session = session_ ? session_ : InternetSession::Open();
    if (!session) {
        return DownloadConnectFailed;
    }
    ParsedUrl url;
    if (!ParseUrl(url_, false, url)) {
        return Fail(DownloadBadUrl);
    }
    uint64_t resumeFrom = 0;
    if (allowResume_ && expectedSha256_ && expectedLength_ > 0) {
        resumeFrom = FileLength(localPath_);
        if (resumeFrom >= expectedLength_) {
            resumeFrom = 0;
        }
    }
    DownloadError code = Fetch(*session, resumeFrom);
    if (code == DownloadDigestMismatch && resumedFrom_ > 0 && !cancel_) {
        // The kept bytes may be what is wrong (a file published anew since the earlier run):
        // the whole file once more before the download counts as failed.
        Log(FormatW(L"download %ls: the continued file is not the published one, fetching it "
                    L"whole",
                    url_.c_str()));
        code = Fetch(*session, 0);
    }
    return code;
}

DownloadError HttpDownload::Request(InternetSession& session, uint64_t rangeStart,
                                    Response& response) {
    std::wstring address = url_;
    for (int redirects = 0;; ++redirects) {
        ParsedUrl url;
        if (!ParseUrl(address, redirects > 0, url)) {
            return Fail(redirects == 0 ? DownloadBadUrl : DownloadBadRedirectUrl);
        }
        response.Close();
        response.Connection.reset(::InternetConnectW(session.Handle(), url.Server.c_str(), url.Port,
                                                     nullptr, nullptr, INTERNET_SERVICE_HTTP, 0,
                                                     kRequestContext));
        if (!response.Connection) {
            return DownloadConnectFailed;
        }
        // Redirects are followed here rather than by the HTTP layer, which follows a server that
        // redirects to itself without end.
        DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_AUTO_REDIRECT;
        if (url.Secure) {
            flags |= INTERNET_FLAG_SECURE;
        }
        response.Request = ::HttpOpenRequestW(response.Connection.get(), L"GET", url.Object.c_str(),
                                              nullptr, nullptr, nullptr, flags, kRequestContext);
        if (response.Request == nullptr) {
            return DownloadConnectFailed;
        }
        if (!TrackRequest(response.Request)) {
            return DownloadCancelled;
        }
        session.ApplyLimits(response.Request);
        ::HttpAddRequestHeadersW(response.Request, L"Accept: */*\r\nUser-Agent: Tessaly_Zelk\r\n",
                                 static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW);
        if (rangeStart > 0) {
            const std::wstring range =
                FormatW(L"Range: bytes=%llu-\r\n", static_cast<unsigned long long>(rangeStart));
            ::HttpAddRequestHeadersW(response.Request, range.c_str(), static_cast<DWORD>(-1),
                                     HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
        }
        response.Address = address;
        response.Sent = ::GetTickCount64();
        if (!::HttpSendRequestW(response.Request, nullptr, 0, nullptr, 0)) {
            const DWORD error = ::GetLastError();
            Log(FormatW(L"GET %ls: no answer (error %lu) after %llu ms", address.c_str(), error,
                        ::GetTickCount64() - response.Sent));
            return cancel_ ? DownloadCancelled : DownloadConnectFailed;
        }
        DWORD status = 0;
        DWORD statusSize = sizeof(status);
        if (!::HttpQueryInfoW(response.Request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                              &status, &statusSize, nullptr)) {
            status = 0;
        }
        response.Status = status;
        if (!IsRedirect(status)) {
            return DownloadOk;
        }
        const std::wstring location = QueryHeader(response.Request, HTTP_QUERY_LOCATION);
        Log(FormatW(L"GET %ls: HTTP %lu to %ls after %llu ms", address.c_str(), status,
                    location.c_str(), ::GetTickCount64() - response.Sent));
        if (location.empty()) {
            // A redirect without a target is just another answer that is not the file.
            return DownloadOk;
        }
        if (redirects == kMaxRedirects) {
            return Fail(DownloadRedirectFailed);
        }
        address = CombineUrl(address, location);
    }
}

DownloadError HttpDownload::Fetch(InternetSession& session, uint64_t resumeFrom) {
    Response response(*this);
    DownloadError code = Request(session, resumeFrom, response);
    if (code != DownloadOk) {
        return code;
    }
    bool append = false;
    if (resumeFrom > 0) {
        if (response.Status == HTTP_STATUS_PARTIAL_CONTENT &&
            QueryContentRangeStart(response.Request) == resumeFrom) {
            append = true;
        } else if (response.Status != HTTP_STATUS_OK) {
            // 416, or a range from elsewhere: the server will not continue this file, so it is
            // fetched whole. A 200 is the whole file already.
            Log(FormatW(L"GET %ls: HTTP %lu to a range from %llu, fetching the whole file",
                        response.Address.c_str(), response.Status,
                        static_cast<unsigned long long>(resumeFrom)));
            code = Request(session, 0, response);
            if (code != DownloadOk) {
                return code;
            }
        }
    }
    if (!append && response.Status != HTTP_STATUS_OK) {
        Log(FormatW(L"GET %ls: HTTP %lu after %llu ms", response.Address.c_str(), response.Status,
                    ::GetTickCount64() - response.Sent));
        // Checked before the local file is opened, so a refused download neither creates nor
        // truncates it.
        return Fail(DownloadServerFileFailed);
    }

    // Nobody else may read or write it while the download runs. Deleting is shared: the close
    // button ends the process without waiting for the worker, and its temporary files must
    // still go (they go when this handle closes). Another updater cannot rename the file into
    // place meanwhile, as one updater at a time works on an installation.
    UniqueFile file(
        ::CreateFileW(localPath_.c_str(), append ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE,
                      FILE_SHARE_DELETE, nullptr, append ? OPEN_EXISTING : CREATE_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return Fail(DownloadLocalFileFailed);
    }
    // Hashed as the bytes arrive, so checking a download never reads the file a second time, and
    // on a thread of its own, so that hashing a large file overlaps fetching it.
    std::optional<BackgroundSha256> hasher;
    if (expectedSha256_) {
        hasher.emplace();
    }
    std::unique_ptr<char[]> buffer(new char[kReadSize]);
    uint64_t present = 0;
    if (append) {
        if (!HashExistingPart(file.get(), resumeFrom, hasher, buffer.get())) {
            return Fail(DownloadLocalFileFailed);
        }
        present = resumeFrom;
        resumedFrom_ = resumeFrom;
        received_ = static_cast<uint32_t>(present);
        // The figures start from what is already there.
        PostProgress();
    } else {
        resumedFrom_ = 0;
        received_ = 0;
    }

    unsigned long long announced = 0;
    const bool lengthKnown = QueryContentLength(response.Request, announced);
    uint64_t body = 0;
    uint64_t posted = present;
    code = DownloadOk;
    RateLimit progress(kProgressIntervalMs);
    ReadSize readSize;
    for (;;) {
        // Each wait for a byte is bounded by the receive limit.
        DWORD count = 0;
        const DWORD asked = readSize.Next();
        const ULONGLONG readStarted = ::GetTickCount64();
        if (!::InternetReadFile(response.Request, buffer.get(), asked, &count)) {
            code = cancel_ ? DownloadCancelled : DownloadConnectFailed;
            break;
        }
        readSize.Took(asked, count, ::GetTickCount64() - readStarted);
        if (count == 0) {
            break;
        }
        // A full disk or a failing device must not pass for a finished download.
        if (!WriteAll(file.get(), buffer.get(), count)) {
            code = Fail(DownloadLocalFileFailed);
            break;
        }
        if (hasher) {
            hasher->Update(buffer.get(), count);
        }
        body += count;
        present += count;
        received_ = static_cast<uint32_t>(present);
        if (cancel_) {
            code = DownloadCancelled;
            break;
        }
        // More than the owner expects is already wrong; a server sending without end must not
        // fill the disk first.
        if (lengthLimit_ > 0 && present > lengthLimit_) {
            code = DownloadConnectFailed;
            break;
        }
        if (progress.Due()) {
            PostProgress();
            posted = present;
        }
    }
    // The last figure always goes out, so the window ends with the exact count.
    if (posted != present && code != DownloadLocalFileFailed) {
        PostProgress();
    }
    Log(FormatW(L"GET %ls: HTTP %lu%ls, %llu bytes in %llu ms", response.Address.c_str(),
                response.Status, append ? L" (continued)" : L"",
                static_cast<unsigned long long>(body), ::GetTickCount64() - response.Sent));
    if (code != DownloadOk) {
        return code;
    }
    // The HTTP layer ends a body that the server cut short like a complete one (the read just
    // returns 0 bytes), so only the announced length tells a truncated file apart.
    if (lengthKnown && body < announced) {
        return DownloadConnectFailed;
    }
    // Neither a chunked body nor one ended by closing the connection announces a length, and a
    // server may answer 200 with an error page: the owner's length is what tells them apart.
    if (expectedLength_ > 0 && present != expectedLength_) {
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

void HttpDownload::PostProgress() {
    if (notifyWindow_ == nullptr) {
        return;
    }
    const DownloadProgress progress{tag_, received_};
    ::PostMessageW(notifyWindow_, WM_DOWNLOAD_PROGRESS, ProgressWParam(progress),
                   ProgressLParam(progress));
}

void HttpDownload::PostDone(DownloadError code) {
    const DownloadDone done{tag_, static_cast<uint16_t>(code), this};
    // A thread's queue holds a limited number of posted messages (10,000 by default on Windows):
    // a window that falls behind could refuse the one message its session waits for. Retry
    // while the queue is full; give up when the owner is deleting the task, because it is then
    // waiting for this thread and ignores the message anyway.
    while (!::PostMessageW(notifyWindow_, WM_DOWNLOAD_DONE, DoneWParam(done), DoneLParam(done)) &&
           ::GetLastError() == ERROR_NOT_ENOUGH_QUOTA && !cancel_ && ::IsWindow(notifyWindow_)) {
        ::Sleep(10);
    }
}

} // namespace net
