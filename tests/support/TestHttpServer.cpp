#include "support/TestHttpServer.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace testsupport {

namespace {

constexpr size_t MaxHeaderBytes = 64 * 1024;
constexpr size_t SendPiece = 64 * 1024;

bool EqualsNoCaseA(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return {};
    size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

const char* ReasonOf(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 206:
        return "Partial Content";
    case 307:
        return "Temporary Redirect";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 416:
        return "Range Not Satisfiable";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

// Waits until `socket` can be read (or written) without blocking. A blocked recv is not reliably
// woken by shutdown() from another thread under Wine, so every wait polls the stop flag instead.
bool WaitReady(SOCKET socket, bool write, const std::atomic<bool>& stopping) {
    while (!stopping) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(socket, &set);
        timeval pause{0, 50 * 1000};
        int ready = ::select(0, write ? nullptr : &set, write ? &set : nullptr, nullptr, &pause);
        if (ready != 0)
            return ready > 0;
    }
    return false;
}

int Receive(SOCKET socket, char* buffer, int size, const std::atomic<bool>& stopping) {
    if (!WaitReady(socket, false, stopping))
        return -1;
    return ::recv(socket, buffer, size, 0);
}

bool SendAll(SOCKET socket, const char* data, size_t length, const std::atomic<bool>& stopping) {
    while (length > 0) {
        if (!WaitReady(socket, true, stopping))
            return false;
        int piece = static_cast<int>(std::min<size_t>(length, SendPiece));
        int sent = ::send(socket, data, piece, 0);
        if (sent <= 0)
            return false;
        data += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The file under `folder` that a request path names, or nothing when the path tries to leave
// the folder or is not plain.
std::optional<std::wstring> FolderPath(const std::wstring& folder, const std::string& path) {
    std::string decoded;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%' && i + 2 < path.size() && HexValue(path[i + 1]) >= 0 &&
            HexValue(path[i + 2]) >= 0) {
            decoded += static_cast<char>(HexValue(path[i + 1]) * 16 + HexValue(path[i + 2]));
            i += 2;
        } else {
            decoded += path[i];
        }
    }
    if (decoded.empty() || decoded[0] != '/' || decoded.find('\\') != std::string::npos ||
        decoded.find(':') != std::string::npos || decoded.find('\0') != std::string::npos)
        return std::nullopt;
    std::stringstream segments(decoded.substr(1));
    std::string segment;
    while (std::getline(segments, segment, '/')) {
        if (segment == "..")
            return std::nullopt;
    }
    int length = ::MultiByteToWideChar(CP_UTF8, 0, decoded.data(), static_cast<int>(decoded.size()),
                                       nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, decoded.data(), static_cast<int>(decoded.size()), wide.data(),
                          length);
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    return folder + wide;
}

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string content;
    char buffer[64 * 1024];
    DWORD count = 0;
    bool ok = true;
    while ((ok = ::ReadFile(file, buffer, sizeof(buffer), &count, nullptr) != 0) && count > 0)
        content.append(buffer, count);
    ::CloseHandle(file);
    if (!ok)
        return std::nullopt;
    return content;
}

// "bytes=N-" or "bytes=N-M" as [N, M + 1) (M + 1 unbounded for the first form); nothing for
// anything else, which a server treats as no range at all.
std::optional<std::pair<uint64_t, uint64_t>> ParseRange(const std::string& header) {
    const std::string prefix = "bytes=";
    if (header.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    const char* text = header.c_str() + prefix.size();
    char* rest = nullptr;
    if (!std::isdigit(static_cast<unsigned char>(*text)))
        return std::nullopt;
    uint64_t first = std::strtoull(text, &rest, 10);
    if (*rest != '-')
        return std::nullopt;
    ++rest;
    if (*rest == '\0')
        return std::make_pair(first, UINT64_MAX);
    if (!std::isdigit(static_cast<unsigned char>(*rest)))
        return std::nullopt;
    char* after = nullptr;
    uint64_t last = std::strtoull(rest, &after, 10);
    if (*after != '\0' || last < first)
        return std::nullopt;
    return std::make_pair(first, last + 1);
}

} // namespace

char PatternByte(uint64_t offset) {
    return static_cast<char>((offset * 7 + (offset >> 8) * 13 + (offset >> 16)) & 0xFF);
}

std::string PatternBody(size_t length) {
    std::string body(length, '\0');
    for (size_t i = 0; i < length; ++i)
        body[i] = PatternByte(i);
    return body;
}

Response Response::Text(std::string body, int status) {
    Response response;
    response.Status = status;
    response.Body = std::make_shared<const std::string>(std::move(body));
    return response;
}

Response Response::Generated(uint64_t length) {
    Response response;
    response.GeneratedLength = length;
    return response;
}

Response Response::Redirect(const std::string& location, int status) {
    Response response = Text("moved\n", status);
    response.Headers.emplace_back("Location", location);
    return response;
}

Response Response::Error(int status) {
    return Text(std::to_string(status) + " " + ReasonOf(status) + "\n", status);
}

Response Response::Silence() {
    Response response;
    response.Silent = true;
    return response;
}

Response Response::Trickle(uint64_t length, std::chrono::milliseconds perByte) {
    Response response = Generated(length);
    response.PaceBytes = 1;
    response.PaceDelay = perByte;
    return response;
}

Response Response::RedirectLoop() {
    Response response = Text("moved\n", 302);
    response.RedirectToItself = true;
    return response;
}

Response Response::CutShort(uint64_t length, uint64_t sent, Framing framing) {
    Response response = Generated(length);
    response.CloseAfter = sent;
    response.Chunked = framing == Framing::Chunked;
    response.CloseDelimited = framing == Framing::CloseDelimited;
    return response;
}

Response Response::HtmlPage() {
    Response response = Text("<!DOCTYPE html>\n<html><head><title>Welcome</title></head>"
                             "<body><p>Please sign in to use this network.</p></body></html>\n");
    response.ContentType = "text/html; charset=utf-8";
    return response;
}

uint64_t Response::BodyLength() const {
    if (GeneratedLength)
        return *GeneratedLength;
    return Body ? Body->size() : 0;
}

std::string RequestRecord::Header(const std::string& name) const {
    for (const auto& [key, value] : Headers) {
        if (EqualsNoCaseA(key, name))
            return value;
    }
    return {};
}

size_t RequestRecord::HeaderCount(const std::string& name) const {
    return static_cast<size_t>(std::count_if(Headers.begin(), Headers.end(), [&](const auto& h) {
        return EqualsNoCaseA(h.first, name);
    }));
}

std::string RequestRecord::Path() const {
    return Target.substr(0, Target.find('?'));
}

TestHttpServer::TestHttpServer() = default;

TestHttpServer::~TestHttpServer() {
    Stop();
}

bool TestHttpServer::Start(uint16_t port) {
    WSADATA data{};
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        error_ = "WSAStartup failed";
        return false;
    }
    winsockStarted_ = true;
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener_ == INVALID_SOCKET) {
        error_ = "socket failed: " + std::to_string(::WSAGetLastError());
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listener_, SOMAXCONN) != 0) {
        error_ = "bind/listen failed: " + std::to_string(::WSAGetLastError());
        return false;
    }
    int length = sizeof(address);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    stopping_ = false;
    acceptThread_ = std::thread([this] { AcceptLoop(); });
    return true;
}

void TestHttpServer::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    stopRequested_.notify_all();
    if (acceptThread_.joinable())
        acceptThread_.join();
    if (listener_ != INVALID_SOCKET) {
        ::closesocket(listener_);
        listener_ = INVALID_SOCKET;
    }
    std::vector<std::unique_ptr<Connection>> connections;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        connections.swap(connections_);
    }
    for (auto& connection : connections) {
        if (connection->Thread.joinable())
            connection->Thread.join();
    }
    if (winsockStarted_) {
        ::WSACleanup();
        winsockStarted_ = false;
    }
}

std::string TestHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::wstring TestHttpServer::UrlW(const std::string& path) const {
    std::string url = Url(path);
    int length =
        ::MultiByteToWideChar(CP_UTF8, 0, url.data(), static_cast<int>(url.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, url.data(), static_cast<int>(url.size()), wide.data(),
                          length);
    return wide;
}

void TestHttpServer::Serve(const std::string& path, Response response) {
    std::lock_guard<std::mutex> lock(mutex_);
    routes_[path] = std::move(response);
}

void TestHttpServer::ServeFolder(const std::wstring& folder) {
    std::lock_guard<std::mutex> lock(mutex_);
    folder_ = folder;
    while (!folder_.empty() && (folder_.back() == L'\\' || folder_.back() == L'/'))
        folder_.pop_back();
}

std::vector<RequestRecord> TestHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::vector<RequestRecord> TestHttpServer::RequestsFor(const std::string& path) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<RequestRecord> found;
    for (const RequestRecord& request : requests_) {
        if (request.Path() == path)
            found.push_back(request);
    }
    return found;
}

size_t TestHttpServer::Arrived(const std::string& path) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = arrived_.find(path);
    return found == arrived_.end() ? 0 : found->second;
}

void TestHttpServer::ClearRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
    arrived_.clear();
}

bool TestHttpServer::WaitForRequests(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return requestEnded_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

uint16_t TestHttpServer::UnusedPort() {
    WSADATA data{};
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return 0;
    uint16_t port = 0;
    SOCKET probe = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (probe != INVALID_SOCKET) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof(address);
        if (::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
            ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port = ntohs(address.sin_port);
        ::closesocket(probe);
    }
    ::WSACleanup();
    return port;
}

void TestHttpServer::AcceptLoop() {
    for (;;) {
        if (!WaitReady(listener_, false, stopping_))
            return;
        SOCKET client = ::accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) {
            if (stopping_)
                return;
            continue;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) {
            ::closesocket(client);
            return;
        }
        ReapFinished();
        auto connection = std::make_unique<Connection>();
        connection->Socket = client;
        Connection* raw = connection.get();
        connections_.push_back(std::move(connection));
        raw->Thread = std::thread([this, raw] { ServeConnection(*raw); });
    }
}

// Called with mutex_ held.
void TestHttpServer::ReapFinished() {
    for (auto it = connections_.begin(); it != connections_.end();) {
        if ((*it)->Finished) {
            if ((*it)->Thread.joinable())
                (*it)->Thread.join();
            it = connections_.erase(it);
        } else {
            ++it;
        }
    }
}

void TestHttpServer::ServeConnection(Connection& connection) {
    SOCKET socket = connection.Socket;
    std::string pending;
    bool keepAlive = true;
    while (keepAlive && !stopping_) {
        RequestRecord record;
        size_t headerEnd = std::string::npos;
        bool started = !pending.empty();
        if (started)
            record.Started = Clock::now();
        while ((headerEnd = pending.find("\r\n\r\n")) == std::string::npos) {
            if (pending.size() > MaxHeaderBytes) {
                headerEnd = std::string::npos;
                break;
            }
            char buffer[4096];
            int count = Receive(socket, buffer, sizeof(buffer), stopping_);
            if (count <= 0)
                break;
            if (!started) {
                record.Started = Clock::now();
                started = true;
            }
            pending.append(buffer, static_cast<size_t>(count));
        }
        if (headerEnd == std::string::npos)
            break; // closed, failed or oversized: nothing more to answer

        std::istringstream head(pending.substr(0, headerEnd));
        pending.erase(0, headerEnd + 4);
        std::string line;
        std::getline(head, line);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream requestLine(line);
        requestLine >> record.Method >> record.Target >> record.Version;
        while (std::getline(head, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            size_t colon = line.find(':');
            if (colon == std::string::npos)
                continue;
            record.Headers.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
        }
        // A request body is read and dropped; the tests only ever send GET.
        uint64_t bodyLength = 0;
        std::string lengthText = record.Header("Content-Length");
        if (!lengthText.empty())
            bodyLength = std::strtoull(lengthText.c_str(), nullptr, 10);
        while (pending.size() < bodyLength) {
            char buffer[4096];
            int count = Receive(socket, buffer, sizeof(buffer), stopping_);
            if (count <= 0)
                break;
            pending.append(buffer, static_cast<size_t>(count));
        }
        pending.erase(0, std::min<uint64_t>(bodyLength, pending.size()));

        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++arrived_[record.Path()];
        }
        std::string connectionHeader = record.Header("Connection");
        keepAlive = record.Version == "HTTP/1.1" ? !EqualsNoCaseA(connectionHeader, "close")
                                                 : EqualsNoCaseA(connectionHeader, "keep-alive");
        bool ok = Answer(socket, record, keepAlive);
        record.Ended = Clock::now();
        Record(std::move(record));
        if (!ok)
            break;
    }
    ::shutdown(socket, SD_SEND);
    ::closesocket(socket);
    connection.Finished = true;
}

std::optional<Response> TestHttpServer::Lookup(const std::string& target) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = routes_.find(target);
    if (found == routes_.end())
        found = routes_.find(target.substr(0, target.find('?')));
    if (found != routes_.end())
        return found->second;
    if (!folder_.empty()) {
        if (auto path = FolderPath(folder_, target.substr(0, target.find('?')))) {
            if (auto content = ReadWholeFile(*path))
                return Response::Text(std::move(*content));
        }
    }
    return std::nullopt;
}

bool TestHttpServer::Answer(SOCKET socket, RequestRecord& record, bool& keepAlive) {
    Response response = Lookup(record.Target).value_or(Response::Error(404));
    if (record.Method != "GET" && record.Method != "HEAD")
        response = Response::Error(400);
    if (response.Silent) {
        // Not a byte until the server stops; Stop() wakes this at once, so a test never waits
        // for its own silent server.
        Pause(std::chrono::hours(24));
        return false;
    }
    if (response.RedirectToItself)
        response.Headers.emplace_back("Location", Url(record.Target));
    record.Status = response.Status;
    if (response.HeaderDelay.count() > 0 && !Pause(response.HeaderDelay))
        return false;

    // The part [from, to) of the body that this answer carries.
    const uint64_t bodyLength = response.BodyLength();
    uint64_t from = 0;
    uint64_t to = bodyLength;
    bool partial = false;
    std::string contentRange;
    const std::string rangeHeader = record.Header("Range");
    const auto range = ParseRange(rangeHeader);
    if (range && response.Status == 200 && response.Ranges != Response::RangeHandling::Ignore) {
        partial = true;
        if (response.Ranges == Response::RangeHandling::Refuse || range->first >= bodyLength) {
            record.Status = 416;
            contentRange = "bytes */" + std::to_string(bodyLength);
            to = 0;
        } else if (response.Ranges == Response::RangeHandling::WrongStart) {
            record.Status = 206;
            contentRange =
                "bytes 0-" + std::to_string(bodyLength - 1) + "/" + std::to_string(bodyLength);
        } else {
            record.Status = 206;
            from = range->first;
            to = std::min(bodyLength, range->second);
            contentRange = "bytes " + std::to_string(from) + "-" + std::to_string(to - 1) + "/" +
                           std::to_string(bodyLength);
        }
    }
    const uint64_t announced = partial ? to - from : response.AnnouncedLength.value_or(bodyLength);
    const uint64_t end = from + std::min(to - from, response.CloseAfter.value_or(to - from));
    const bool cut = response.CloseDelimited || response.CloseAfter.has_value() ||
                     (!partial && response.AnnouncedLength.has_value());
    if (cut)
        keepAlive = false;

    std::string head =
        "HTTP/1.1 " + std::to_string(record.Status) + " " +
        (response.Reason.empty() || record.Status != response.Status ? ReasonOf(record.Status)
                                                                     : response.Reason) +
        "\r\n";
    if (response.Chunked)
        head += "Transfer-Encoding: chunked\r\n";
    else if (!response.CloseDelimited)
        head += "Content-Length: " + std::to_string(announced) + "\r\n";
    if (!contentRange.empty())
        head += "Content-Range: " + contentRange + "\r\n";
    head += "Content-Type: " + response.ContentType + "\r\n";
    head += keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    for (const auto& [name, value] : response.Headers)
        head += name + ": " + value + "\r\n";
    head += "\r\n";
    if (!SendAll(socket, head.data(), head.size(), stopping_))
        return false;
    if (record.Method == "HEAD") {
        record.Completed = true;
        return true;
    }
    if (!SendBody(socket, response, from, end, record))
        return false;
    if (response.Chunked && end == to && !SendAll(socket, "0\r\n\r\n", 5, stopping_))
        return false;
    record.Completed = end == to && announced <= to - from;
    return !cut;
}

bool TestHttpServer::SendBody(SOCKET socket, const Response& response, uint64_t from, uint64_t end,
                              RequestRecord& record) {
    const size_t piece = response.PaceBytes > 0 ? response.PaceBytes : SendPiece;
    std::string generated;
    uint64_t offset = from;
    while (offset < end) {
        size_t count = static_cast<size_t>(std::min<uint64_t>(piece, end - offset));
        const char* data = nullptr;
        if (response.Body) {
            data = response.Body->data() + offset;
        } else {
            generated.resize(count);
            for (size_t i = 0; i < count; ++i)
                generated[i] = PatternByte(offset + i);
            data = generated.data();
        }
        if (response.Chunked) {
            char size[32];
            std::snprintf(size, sizeof(size), "%zx\r\n", count);
            if (!SendAll(socket, size, std::strlen(size), stopping_))
                return false;
        }
        if (!SendAll(socket, data, count, stopping_))
            return false;
        if (response.Chunked && !SendAll(socket, "\r\n", 2, stopping_))
            return false;
        offset += count;
        record.BodyBytesSent = offset - from;
        if (response.PaceDelay.count() > 0 && offset < end && !Pause(response.PaceDelay))
            return false;
    }
    return true;
}

bool TestHttpServer::Pause(std::chrono::milliseconds delay) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !stopRequested_.wait_for(lock, delay, [&] { return stopping_.load(); });
}

void TestHttpServer::Record(RequestRecord record) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(std::move(record));
    }
    requestEnded_.notify_all();
}

} // namespace testsupport
