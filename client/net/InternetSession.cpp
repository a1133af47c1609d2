#include "net/InternetSession.h"

#include <utility>

namespace net {

namespace {

// Status notifications are switched on only so that the HTTP layer behaves as it does with a
// listener attached; nothing is done with them.
void CALLBACK IgnoreStatus(HINTERNET, DWORD_PTR, DWORD, LPVOID, DWORD) {}

void SetLimit(HINTERNET handle, DWORD option, DWORD milliseconds) {
    ::InternetSetOptionW(handle, option, &milliseconds, sizeof(milliseconds));
}

} // namespace

InternetSession::InternetSession(UniqueInternet session, const TimeLimits& limits)
    : session_(std::move(session)), limits_(limits) {}

std::shared_ptr<InternetSession> InternetSession::Open(const TimeLimits& limits) {
    // Kept because the system always had it: two user agents, the session's here and a
    // User-Agent header on every request.
    UniqueInternet session(
        ::InternetOpenW(L"Tessaly - MFC App", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session || ::InternetSetStatusCallbackW(session.get(), &IgnoreStatus) ==
                        INTERNET_INVALID_STATUS_CALLBACK) {
        return nullptr;
    }
    std::shared_ptr<InternetSession> result(new InternetSession(std::move(session), limits));
    result->ApplyLimits(result->Handle());
    return result;
}

void InternetSession::ApplyLimits(HINTERNET handle) const {
    SetLimit(handle, INTERNET_OPTION_CONNECT_TIMEOUT, limits_.ConnectMs);
    SetLimit(handle, INTERNET_OPTION_SEND_TIMEOUT, limits_.SendMs);
    SetLimit(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, limits_.ReceiveMs);
    SetLimit(handle, INTERNET_OPTION_DATA_SEND_TIMEOUT, limits_.SendMs);
    SetLimit(handle, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, limits_.ReceiveMs);
}

} // namespace net
