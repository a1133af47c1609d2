#pragma once
// Windows Sockets started for the owner's lifetime.

#include <winsock2.h>

class WinsockInit {
public:
    WinsockInit() : started_(::WSAStartup(MAKEWORD(1, 1), &data_) == 0) {}
    ~WinsockInit() {
        if (started_) {
            ::WSACleanup();
        }
    }
    WinsockInit(const WinsockInit&) = delete;
    WinsockInit& operator=(const WinsockInit&) = delete;

    explicit operator bool() const { return started_; }

private:
    WSADATA data_{};
    bool started_;
};
