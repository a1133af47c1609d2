// The server's misbehaviours, seen the way the updater will meet them: through WinINet where
// its reading matters, through a raw socket where the bytes on the wire are the point.

#include "support/TestHttpServer.h"

#include <wininet.h>

#include <gtest/gtest.h>

#include <future>

namespace testsupport {
namespace {

using namespace std::chrono_literals;

struct RawAnswer {
    std::string Head;
    std::string Body;
    bool TimedOut = false; // nothing more came within the wait, the connection still open
};

// Sends a GET for `path` and reads until the server closes the connection or `wait` passes
// without a byte.
RawAnswer RawGet(uint16_t port, const std::string& path, std::chrono::milliseconds wait = 5s) {
    RawAnswer answer;
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        ::closesocket(s);
        return answer;
    }
    const std::string request =
        "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    ::send(s, request.data(), static_cast<int>(request.size()), 0);
    std::string all;
    for (;;) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval timeout{static_cast<long>(wait.count() / 1000),
                        static_cast<long>(wait.count() % 1000 * 1000)};
        if (::select(0, &set, nullptr, nullptr, &timeout) <= 0) {
            answer.TimedOut = true;
            break;
        }
        char buffer[4096];
        int n = ::recv(s, buffer, sizeof(buffer), 0);
        if (n <= 0) {
            break;
        }
        all.append(buffer, static_cast<size_t>(n));
    }
    ::closesocket(s);
    size_t headEnd = all.find("\r\n\r\n");
    answer.Head = all.substr(0, headEnd);
    answer.Body = headEnd == std::string::npos ? std::string() : all.substr(headEnd + 4);
    return answer;
}

struct InetAnswer {
    DWORD Status = 0;
    std::wstring ContentRange;
    std::wstring ContentType;
    std::string Body;
};

std::wstring QueryText(HINTERNET request, DWORD what) {
    wchar_t text[256] = {};
    DWORD size = sizeof(text);
    return ::HttpQueryInfoW(request, what, text, &size, nullptr) ? text : L"";
}

// A GET through WinINet, as the updater makes it, with an optional extra header line.
InetAnswer InetGet(const std::wstring& url, const std::wstring& header = L"") {
    InetAnswer answer;
    HINTERNET session =
        ::InternetOpenW(L"server test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET request =
        ::InternetOpenUrlW(session, url.c_str(), header.empty() ? nullptr : header.c_str(),
                           header.empty() ? 0 : static_cast<DWORD>(-1), INTERNET_FLAG_RELOAD, 0);
    if (request != nullptr) {
        DWORD size = sizeof(answer.Status);
        ::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &answer.Status,
                         &size, nullptr);
        answer.ContentRange = QueryText(request, HTTP_QUERY_CONTENT_RANGE);
        answer.ContentType = QueryText(request, HTTP_QUERY_CONTENT_TYPE);
        char buffer[64 * 1024];
        DWORD count = 0;
        while (::InternetReadFile(request, buffer, sizeof(buffer), &count) && count > 0) {
            answer.Body.append(buffer, count);
        }
        ::InternetCloseHandle(request);
    }
    ::InternetCloseHandle(session);
    return answer;
}

class TestHttpServerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server_.Start()) << server_.Error(); }
    TestHttpServer server_;
};

TEST_F(TestHttpServerTest, ASilentPathNeverAnswersAndStopDoesNotWaitForItOrForATrickle) {
    server_.Serve("/UpDataGame.xml", Response::Silence());
    server_.Serve("/slow.bin", Response::Trickle(1000, 1000ms));
    auto trickling =
        std::async(std::launch::async, [&] { return RawGet(server_.Port(), "/slow.bin", 30s); });
    RawAnswer silent = RawGet(server_.Port(), "/UpDataGame.xml", 500ms);
    EXPECT_TRUE(silent.TimedOut);
    EXPECT_TRUE(silent.Head.empty());
    EXPECT_EQ(server_.Arrived("/UpDataGame.xml"), 1u);
    EXPECT_TRUE(server_.RequestsFor("/UpDataGame.xml").empty()); // still unanswered

    const auto stopping = Clock::now();
    server_.Stop();
    EXPECT_LT(Clock::now() - stopping, 5s);
    RawAnswer cut = trickling.get();
    EXPECT_FALSE(cut.TimedOut);
    EXPECT_LT(cut.Body.size(), 1000u);
}

TEST_F(TestHttpServerTest, ATrickleSendsOneByteAtATime) {
    constexpr auto kEvery = 50ms;
    server_.Serve("/a.txt", Response::Trickle(5, kEvery));
    const auto started = Clock::now();
    RawAnswer answer = RawGet(server_.Port(), "/a.txt");
    EXPECT_GE(Clock::now() - started, 4 * kEvery);
    EXPECT_EQ(answer.Body, PatternBody(5));
}

TEST_F(TestHttpServerTest, ARedirectLoopPointsEveryRequestBackAtItself) {
    server_.Serve("/UpDataGame.xml", Response::RedirectLoop());
    for (int i = 0; i < 3; ++i) {
        RawAnswer answer = RawGet(server_.Port(), "/UpDataGame.xml?n=1");
        EXPECT_EQ(answer.Head.rfind("HTTP/1.1 302", 0), 0u) << answer.Head;
        EXPECT_NE(answer.Head.find("Location: " + server_.Url("/UpDataGame.xml?n=1")),
                  std::string::npos)
            << answer.Head;
    }
    EXPECT_EQ(server_.Arrived("/UpDataGame.xml"), 3u);
}

TEST_F(TestHttpServerTest, BodiesCutShortUnderEachFraming) {
    using Framing = Response::Framing;
    server_.Serve("/length", Response::CutShort(1000, 300));
    server_.Serve("/chunked", Response::CutShort(1000, 300, Framing::Chunked));
    server_.Serve("/closed", Response::CutShort(1000, 300, Framing::CloseDelimited));
    Response whole = Response::Generated(1000);
    whole.Chunked = true;
    whole.PaceBytes = 400;
    server_.Serve("/whole-chunked", whole);

    RawAnswer length = RawGet(server_.Port(), "/length");
    EXPECT_NE(length.Head.find("Content-Length: 1000"), std::string::npos);
    EXPECT_EQ(length.Body, PatternBody(300));

    RawAnswer chunked = RawGet(server_.Port(), "/chunked");
    EXPECT_NE(chunked.Head.find("Transfer-Encoding: chunked"), std::string::npos);
    EXPECT_EQ(chunked.Head.find("Content-Length"), std::string::npos);
    EXPECT_EQ(chunked.Body.find("\r\n0\r\n\r\n"), std::string::npos); // no last chunk

    RawAnswer closed = RawGet(server_.Port(), "/closed");
    EXPECT_EQ(closed.Head.find("Content-Length"), std::string::npos);
    EXPECT_EQ(closed.Body, PatternBody(300));

    // WinINet decodes the chunks of a whole chunked body.
    EXPECT_EQ(InetGet(server_.UrlW("/whole-chunked")).Body, PatternBody(1000));
    for (const char* path : {"/length", "/chunked", "/closed"}) {
        auto log = server_.RequestsFor(path);
        ASSERT_EQ(log.size(), 1u) << path;
        EXPECT_FALSE(log[0].Completed) << path;
        EXPECT_EQ(log[0].BodyBytesSent, 300u) << path;
    }
}

TEST_F(TestHttpServerTest, AnHtmlPageComesWithStatus200) {
    server_.Serve("/GameCore.dll", Response::HtmlPage());
    InetAnswer answer = InetGet(server_.UrlW("/GameCore.dll"));
    EXPECT_EQ(answer.Status, 200u);
    EXPECT_EQ(answer.ContentType.rfind(L"text/html", 0), 0u);
    EXPECT_EQ(answer.Body.rfind("<!DOCTYPE html>", 0), 0u);
}

TEST_F(TestHttpServerTest, RangesAreHonouredIgnoredRefusedOrMisplacedAndLoggedPerPath) {
    constexpr uint64_t kSize = 2 * 1024 * 1024;
    constexpr uint64_t kHalf = kSize / 2;
    const std::wstring resume = L"Range: bytes=" + std::to_wstring(kHalf) + L"-\r\n";
    const std::string whole = PatternBody(kSize);

    // An interrupted download: the first answer stops half-way, the second gives the rest.
    server_.Serve("/big.bin", Response::CutShort(kSize, kHalf));
    EXPECT_EQ(InetGet(server_.UrlW("/big.bin")).Body.size(), kHalf);
    server_.Serve("/big.bin", Response::Generated(kSize));
    InetAnswer rest = InetGet(server_.UrlW("/big.bin"), resume);
    EXPECT_EQ(rest.Status, 206u);
    EXPECT_EQ(rest.ContentRange, L"bytes 1048576-2097151/2097152");
    EXPECT_TRUE(rest.Body == whole.substr(kHalf));
    auto log = server_.RequestsFor("/big.bin");
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].Header("Range"), "");
    EXPECT_EQ(log[1].Header("Range"), "bytes=1048576-");

    struct Case {
        Response::RangeHandling Handling;
        DWORD Status;
        const wchar_t* ContentRange;
        uint64_t BodyFrom; // the body is the pattern from here to the end; none for 416
    };
    const Case cases[] = {
        {Response::RangeHandling::Ignore, 200, L"", 0},
        {Response::RangeHandling::Refuse, 416, L"bytes */2097152", kSize},
        {Response::RangeHandling::WrongStart, 206, L"bytes 0-2097151/2097152", 0},
    };
    for (const Case& c : cases) {
        Response response = Response::Generated(kSize);
        response.Ranges = c.Handling;
        server_.Serve("/other.bin", response);
        InetAnswer answer = InetGet(server_.UrlW("/other.bin"), resume);
        EXPECT_EQ(answer.Status, c.Status);
        EXPECT_EQ(answer.ContentRange, c.ContentRange);
        EXPECT_TRUE(answer.Body == whole.substr(c.BodyFrom)) << answer.Body.size();
    }
    InetAnswer pastTheEnd = InetGet(server_.UrlW("/big.bin"), L"Range: bytes=2097152-\r\n");
    EXPECT_EQ(pastTheEnd.Status, 416u);
    EXPECT_EQ(server_.RequestsFor("/other.bin").size(), 3u);
}

} // namespace
} // namespace testsupport
