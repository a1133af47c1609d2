#include "net/InetFile.h"

#include <wininet.h>

#include <cwchar>
#include <exception>

#include "platform/UniqueHandle.h"

namespace {

// A failure of the HTTP client services. It ends the run with code 2 and, unlike the task's own
// exception, leaves ErrorText alone.
struct InternetFailure {
    DWORD Error;
};

void CheckInternet(bool ok) {
    if (!ok)
        throw InternetFailure{::GetLastError()};
}

constexpr DWORD_PTR RequestContext = 1;
constexpr DWORD ChunkSize = 1024;

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
    if (url.empty() || url.find(L'\0') != std::wstring::npos)
        return false;
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof(parts);
    // Non-zero lengths with null buffers ask for pointers into `url` instead of copies.
    parts.dwSchemeLength = 1;
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!::InternetCrackUrlW(url.c_str(), 0, 0, &parts))
        return false;
    if (parts.nScheme != INTERNET_SCHEME_HTTP || parts.lpszHostName == nullptr ||
        parts.dwHostNameLength == 0)
        return false;
    parsed.Server.assign(parts.lpszHostName, parts.dwHostNameLength);
    parsed.Port = parts.nPort;
    if (parts.lpszUrlPath != nullptr)
        parsed.Object.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo != nullptr)
        parsed.Object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    size_t fragment = parsed.Object.find(L'#');
    if (fragment != std::wstring::npos)
        parsed.Object.resize(fragment);
    if (parsed.Object.empty())
        parsed.Object = L"/";
    return true;
}

// The announced body length, when the response has one that reads as a number.
bool QueryContentLength(HINTERNET request, unsigned long long& length) {
    wchar_t text[32] = {};
    DWORD size = sizeof(text);
    if (!::HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr))
        return false;
    wchar_t* end = nullptr;
    length = std::wcstoull(text, &end, 10);
    return end != text && *end == L'\0';
}

bool WriteAll(HANDLE file, const char* data, DWORD count) {
    while (count > 0) {
        DWORD written = 0;
        if (!::WriteFile(file, data, count, &written, nullptr) || written == 0)
            return false;
        data += written;
        count -= written;
    }
    return true;
}

} // namespace

CInetFile::CInetFile() {
    ErrorText = DownloadErrorText(-1);
}

CInetFile::~CInetFile() {
    // The worker notices the flag when its current read returns, so this wait is bounded by one
    // read; the base destructor must not close the done event before the run is reaped.
    Cancel = true;
    WaitThread();
}

bool CInetFile::Start() {
    ++RunCount;
    WaitThread();
    Cancel = false;
    return StartThread();
}

void CInetFile::ThrowError(int32_t code) {
    ErrorText = DownloadErrorText(code);
    throw new CInetFileException(code);
}

void CInetFile::Run() {
    int32_t result = DownloadOk;
    const WPARAM kindWord = MakeDownloadWParam(Kind, 0);
    UniqueInternet session(
        ::InternetOpenW(L"Tessaly - MFC App", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    UniqueInternet connection;
    UniqueInternet request;
    try {
        // Without a session nothing can be fetched; it ends the run like any other failure of
        // the HTTP client services.
        CheckInternet(static_cast<bool>(session));

        ParsedUrl url;
        if (!ParseHttpUrl(URL, url))
            ThrowError(DownloadBadUrl);

        if (StatusCallback)
            CheckInternet(::InternetSetStatusCallbackW(session.get(), &IgnoreStatus) !=
                          INTERNET_INVALID_STATUS_CALLBACK);

        connection.reset(::InternetConnectW(session.get(), url.Server.c_str(), url.Port, nullptr,
                                            nullptr, INTERNET_SERVICE_HTTP, 0, RequestContext));
        CheckInternet(static_cast<bool>(connection));

        request.reset(::HttpOpenRequestW(connection.get(), L"GET", url.Object.c_str(), nullptr,
                                         nullptr, nullptr, INTERNET_FLAG_RELOAD, RequestContext));
        CheckInternet(static_cast<bool>(request));

        ::HttpAddRequestHeadersW(request.get(), L"Accept: */*\r\nUser-Agent: Tessaly_Zelk\r\n",
                                 static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW);

        CheckInternet(::HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0));

        // Redirects have been followed by the HTTP layer: this is the final response's status.
        DWORD status = 0;
        DWORD statusSize = sizeof(status);
        if (!::HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                              &status, &statusSize, nullptr) ||
            status != HTTP_STATUS_OK) {
            // Checked before the local file is opened, so a refused download neither creates
            // nor truncates it.
            ThrowError(DownloadServerFileFailed);
        }
        unsigned long long announced = 0;
        const bool lengthKnown = QueryContentLength(request.get(), announced);

        std::wstring localPath = TargetPath;
        if (Kind == 2)
            localPath += L".update";
        // Exclusive while the download runs, so nobody installs a half-written file.
        UniqueFile file(::CreateFileW(localPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            ThrowError(DownloadLocalFileFailed);

        Received = 0;
        unsigned long long total = 0;
        char buffer[ChunkSize];
        for (;;) {
            DWORD count = 0;
            CheckInternet(::InternetReadFile(request.get(), buffer, ChunkSize, &count));
            if (count == 0)
                break;
            // A full disk or a failing device must not pass for a finished download.
            if (!WriteAll(file.get(), buffer, count))
                ThrowError(DownloadLocalFileFailed);
            Received += count;
            total += count;
            if (NotifyWindow != nullptr)
                ::PostMessageW(NotifyWindow, WM_DOWNLOAD_PROGRESS, kindWord | count,
                               reinterpret_cast<LPARAM>(this));
            // Looked at after the progress message, so a cancelled run still reports the chunk
            // it wrote.
            if (Cancel) {
                result = DownloadCancelled;
                break;
            }
        }
        // The HTTP layer ends a body that the server cut short like a complete one (the read
        // just returns 0 bytes), so only the announced length tells a truncated file apart.
        if (result == DownloadOk && lengthKnown && total < announced)
            throw InternetFailure{ERROR_INTERNET_CONNECTION_RESET};
    } catch (const InternetFailure&) {
        result = DownloadConnectFailed;
    } catch (CInetFileException* failure) {
        result = failure->Code;
        failure->Delete();
    } catch (const std::exception&) {
        // Out of memory ends the run like a failure of the connection: the done message must
        // still go out with a non-zero code.
        result = DownloadConnectFailed;
    }
    // The local file closed with its scope; the HTTP handles go before the done message, since
    // the receiver may act on it (and delete this task) at once.
    request.reset();
    connection.reset();
    session.reset();
    if (NotifyWindow != nullptr)
        PostDone(static_cast<WORD>(static_cast<uint32_t>(result)));
}

void CInetFile::PostDone(WORD code) {
    const WPARAM wParam = MakeDownloadWParam(Kind, code);
    // A thread's queue holds a limited number of posted messages (10,000 by default on Windows),
    // and a fast download posts one per kilobyte: a window that falls behind could refuse the
    // one message its session waits for. Retry while the queue is full; give up when the owner
    // is deleting the task, because it is then blocked waiting for this thread and ignores the
    // message anyway.
    while (
        !::PostMessageW(NotifyWindow, WM_DOWNLOAD_DONE, wParam, reinterpret_cast<LPARAM>(this)) &&
        ::GetLastError() == ERROR_NOT_ENOUGH_QUOTA && !Cancel && ::IsWindow(NotifyWindow))
        ::Sleep(10);
}
