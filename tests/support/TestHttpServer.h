#pragma once
// A real HTTP/1.1 server on 127.0.0.1 for tests, running inside the test program on threads of
// its own: a free port chosen by the system, answers configured per path (status, delay, paced
// or cut-short bodies, redirects) or files from a folder, and a log of every request as the
// server saw it.

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testsupport {

using Clock = std::chrono::steady_clock;
using HeaderList = std::vector<std::pair<std::string, std::string>>;

// The byte at `offset` of a generated body: a cheap pattern that does not repeat every 256
// bytes, so a chunk written at the wrong place shows.
char PatternByte(uint64_t offset);
// A generated body of `length` bytes, in memory.
std::string PatternBody(size_t length);

// What the server answers for one path.
struct Response {
    int Status = 200;
    std::string Reason; // from the status when empty
    // The body, either in memory or generated from PatternByte (for sizes nobody wants stored).
    std::shared_ptr<const std::string> Body;
    std::optional<uint64_t> GeneratedLength;
    // Content-Length sent; the body's own length when unset.
    std::optional<uint64_t> AnnouncedLength;
    // Sends no Content-Length and ends the body by closing the connection.
    bool CloseDelimited = false;
    // Sends the body in chunked transfer encoding (one chunk per piece), without Content-Length.
    bool Chunked = false;
    // Closes the connection after this many body bytes, whatever was announced.
    std::optional<uint64_t> CloseAfter;
    HeaderList Headers; // extra response headers
    std::chrono::milliseconds HeaderDelay{0};
    // Pacing: the body goes out in pieces of PaceBytes with PaceDelay after each one.
    size_t PaceBytes = 0;
    std::chrono::milliseconds PaceDelay{0};

    static Response Text(std::string body, int status = 200);
    static Response Generated(uint64_t length);
    static Response Redirect(const std::string& location, int status = 302);
    static Response Error(int status);

    uint64_t BodyLength() const;
};

// One request as the server received it, with what was sent back.
struct RequestRecord {
    std::string Method;
    std::string Target; // path and query as sent
    std::string Version;
    HeaderList Headers;
    Clock::time_point Started; // first byte of the request
    Clock::time_point Ended;   // response finished or connection lost
    int Status = 0;
    uint64_t BodyBytesSent = 0;
    bool Completed = false; // the whole response went out

    // Value of the first header of that name (case-insensitive), empty when absent.
    std::string Header(const std::string& name) const;
    size_t HeaderCount(const std::string& name) const;
    std::string Path() const; // Target without the query
};

class TestHttpServer {
public:
    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    // Listens on 127.0.0.1:`port` (0: a free port). False with the reason in Error().
    bool Start(uint16_t port = 0);
    // Closes the listener and every open connection and joins all threads; paced responses
    // stop at once.
    void Stop();

    uint16_t Port() const { return port_; }
    std::string Error() const { return error_; }
    // "http://127.0.0.1:<port><path>"
    std::string Url(const std::string& path) const;
    std::wstring UrlW(const std::string& path) const;

    // Answers requests for `path` (the target without its query, or the full target when that
    // was registered) with `response`. Replaces an earlier answer for the same path.
    void Serve(const std::string& path, Response response);
    // Paths without an answer of their own are looked up in `folder`; otherwise they get 404.
    void ServeFolder(const std::wstring& folder);

    std::vector<RequestRecord> Requests() const;
    void ClearRequests();
    // Waits until at least `count` requests have ended.
    bool WaitForRequests(size_t count, std::chrono::milliseconds timeout) const;

    // A port on 127.0.0.1 that nobody listens on (bound once, then released).
    static uint16_t UnusedPort();

private:
    struct Connection {
        SOCKET Socket = INVALID_SOCKET;
        std::thread Thread;
        std::atomic<bool> Finished{false};
    };

    void AcceptLoop();
    void ServeConnection(Connection& connection);
    bool Answer(SOCKET socket, RequestRecord& record, bool& keepAlive);
    bool SendBody(SOCKET socket, const Response& response, uint64_t limit, RequestRecord& record,
                  bool& cut);
    std::optional<Response> Lookup(const std::string& target) const;
    void Record(RequestRecord record);
    // Sleeps, but wakes at once when the server stops. False when stopping.
    bool Pause(std::chrono::milliseconds delay);
    void ReapFinished();

    SOCKET listener_ = INVALID_SOCKET;
    uint16_t port_ = 0;
    std::string error_;
    bool winsockStarted_ = false;
    std::atomic<bool> stopping_{false};
    std::thread acceptThread_;

    mutable std::mutex mutex_;
    mutable std::condition_variable requestEnded_;
    std::condition_variable stopRequested_;
    std::map<std::string, Response> routes_;
    std::wstring folder_;
    std::vector<RequestRecord> requests_;
    std::vector<std::unique_ptr<Connection>> connections_;
};

} // namespace testsupport
