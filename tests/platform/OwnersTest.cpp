#include "platform/ComPtr.h"
#include "platform/UniqueHandle.h"
#include "platform/Winsock.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

bool IsOpen(HANDLE handle) {
    DWORD flags = 0;
    return ::GetHandleInformation(handle, &flags) != 0;
}

HANDLE NewEvent() {
    return ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

} // namespace

TEST(Owners, AHandleIsClosedOnceByWhoeverOwnsItLast) {
    HANDLE raw = NewEvent();
    {
        UniqueHandle first(raw);
        UniqueHandle second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second.get(), raw);
        UniqueHandle third;
        third = std::move(second);
        EXPECT_TRUE(IsOpen(raw));
    }
    EXPECT_FALSE(IsOpen(raw));

    HANDLE replaced = NewEvent();
    UniqueHandle owner(replaced);
    owner.reset(NewEvent());
    EXPECT_FALSE(IsOpen(replaced));
    HANDLE released = owner.release();
    EXPECT_FALSE(owner);
    EXPECT_TRUE(IsOpen(released));
    ::CloseHandle(released);
}

TEST(Owners, FilesUseTheInvalidHandleAsTheEmptyValue) {
    UniqueFile missing(
        ::CreateFileW(L"Z:\\no\\such\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.get(), INVALID_HANDLE_VALUE);
    UniqueFile none;
    EXPECT_EQ(none.get(), INVALID_HANDLE_VALUE);
}

TEST(Owners, ComAndSocketsStartForTheOwnersLifetime) {
    {
        ComInit com;
        EXPECT_TRUE(SUCCEEDED(com.result()));
        ComInit nested; // S_FALSE counts and is balanced too
        EXPECT_EQ(nested.result(), S_FALSE);
    }
    {
        WinsockInit sockets;
        EXPECT_TRUE(sockets);
        SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        EXPECT_NE(s, INVALID_SOCKET);
        ::closesocket(s);
    }
    // Started and cleaned up once: without an owner the library refuses.
    EXPECT_EQ(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP), INVALID_SOCKET);
    EXPECT_EQ(::WSAGetLastError(), WSANOTINITIALISED);
}
