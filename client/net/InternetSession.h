#pragma once
// The HTTP client services' session that downloads run in, with the run's time limits set on it.
// One session serves every download of a run, one after another: opening a session per file is
// a measurable part of a small file's cost, and a shared one keeps the server's connection alive
// from one file to the next.

#include <windows.h>
#include <wininet.h>

#include <memory>

#include "platform/UniqueHandle.h"

namespace net {

// How long one request may take at each step before it counts as failed, like a connection that
// was refused. Without limits a server that accepts a connection and then says nothing holds the
// run for ever (the HTTP client services wait for minutes or without end). A working server on a
// slow line answers within seconds; 15 s to connect covers a lost SYN retried twice, and 30 s
// without a single byte (sending the request, waiting for the answer, or between two pieces of
// the body) is far beyond any stall of a line that still works.
struct TimeLimits {
    DWORD ConnectMs = 15'000;
    DWORD SendMs = 30'000;
    DWORD ReceiveMs = 30'000;
};
constexpr TimeLimits kRequestTimeLimits{};

// Redirects followed for one request before it fails; a server that sends a client round in a
// circle (or to itself) must end as a failure, not as a run that never moves on.
constexpr int kMaxRedirects = 10;

class InternetSession {
public:
    // Null when the HTTP client services cannot open a session.
    static std::shared_ptr<InternetSession> Open(const TimeLimits& limits = kRequestTimeLimits);

    HINTERNET Handle() const { return session_.get(); }
    const TimeLimits& Limits() const { return limits_; }

    // Sets the limits on a connection or request handle as well: the services do not pass the
    // session's receive and send limits on to its requests on every platform.
    void ApplyLimits(HINTERNET handle) const;

private:
    InternetSession(UniqueInternet session, const TimeLimits& limits);

    UniqueInternet session_;
    TimeLimits limits_;
};

} // namespace net
