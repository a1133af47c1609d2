#include "net/HttpDownload.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <numeric>
#include <optional>
#include <string>

#include "platform/WideString.h"
#include "support/MessageRecorder.h"
#include "support/TestFiles.h"
#include "support/TestHttpServer.h"

using namespace net;

namespace {

using namespace std::chrono_literals;
using namespace testsupport;

const std::wstring kDefaultText = L"连接服务器失败, 请检查网络或联系管理员";

// The result code of a done message.
WORD Low(const PostedMessage& m) {
    return UnpackDone(m.WParam, m.LParam).Code;
}
// The bytes a progress message reports.
uint32_t ReceivedOf(const PostedMessage& m) {
    return UnpackProgress(m.WParam, m.LParam).Received;
}
// The tag of either message.
WORD High(const PostedMessage& m) {
    return m.Message == WM_DOWNLOAD_DONE ? UnpackDone(m.WParam, m.LParam).Tag
                                         : UnpackProgress(m.WParam, m.LParam).Tag;
}

constexpr uint16_t kTag = 1;
// The most a single read hands over.
constexpr size_t kChunkBytes = 64 * 1024;

class HttpDownloadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = std::make_unique<TestHttpServer>();
        ASSERT_TRUE(server_->Start()) << server_->Error();
    }
    static void TearDownTestSuite() { server_.reset(); }

    void SetUp() override { server_->ClearRequests(); }

    std::wstring Local(const wchar_t* name) const { return folder_ / name; }

    std::unique_ptr<HttpDownload> Task(const std::wstring& url, const std::wstring& target,
                                       uint16_t tag = kTag) {
        return std::make_unique<HttpDownload>(url, target, recorder_.Window(), tag);
    }

    // Runs the task to its end and returns the code of its single done message.
    int Download(HttpDownload& task) {
        EXPECT_TRUE(task.Start());
        // Generous: a loaded machine can slow Wine a great deal, and a hang still shows.
        EXPECT_TRUE(recorder_.WaitFor(WM_DOWNLOAD_DONE, 1, 90s));
        task.WaitThread();
        recorder_.PumpFor(0ms);
        auto done = recorder_.Messages(WM_DOWNLOAD_DONE);
        EXPECT_EQ(done.size(), 1u);
        if (done.empty()) {
            return -1;
        }
        EXPECT_EQ(High(done[0]), task.Tag());
        EXPECT_EQ(UnpackDone(done[0].WParam, done[0].LParam).Task, &task);
        return Low(done[0]);
    }

    static std::unique_ptr<TestHttpServer> server_;
    TempFolder folder_;
    MessageRecorder recorder_;
};

std::unique_ptr<TestHttpServer> HttpDownloadTest::server_;

TEST_F(HttpDownloadTest, DownloadsTheBodyReportingExactProgressAtABoundedRate) {
    const size_t size = 3 * 1024 * 1024 + 517;
    Response paced = Response::Generated(size);
    // About 0.6 s of data: several progress messages, far fewer than reads.
    paced.PaceBytes = 64 * 1024;
    paced.PaceDelay = 12ms;
    server_->Serve("/files/data.bin", paced);
    auto task = Task(server_->UrlW("/files/data.bin?v=3&x=a#part"), Local(L"data.bin"));

    EXPECT_EQ(Download(*task), DownloadOk);
    EXPECT_EQ(ReadFileBytes(Local(L"data.bin")), testsupport::PatternBody(size));
    EXPECT_EQ(task->Received(), size);
    EXPECT_EQ(task->ErrorText(), kDefaultText);
    EXPECT_TRUE(task->Started());

    auto progress = recorder_.Messages(WM_DOWNLOAD_PROGRESS);
    ASSERT_GE(progress.size(), 2u);
    // At most one message every 20 ms, and the last one before the done message.
    EXPECT_LT(progress.size(), 60u);
    uint32_t previous = 0;
    for (const auto& m : progress) {
        EXPECT_EQ(High(m), kTag);
        EXPECT_GT(ReceivedOf(m), previous);
        previous = ReceivedOf(m);
    }
    // The last figure is exact: the window ends at 100 %.
    EXPECT_EQ(previous, size);
    EXPECT_EQ(recorder_.Messages().back().Message, WM_DOWNLOAD_DONE);

    // What went over the wire: one GET, the query kept, the fragment not sent, caches bypassed.
    auto requests = server_->Requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& request = requests[0];
    EXPECT_EQ(request.Method, "GET");
    EXPECT_EQ(request.Target, "/files/data.bin?v=3&x=a");
    EXPECT_EQ(request.Header("Accept"), "*/*");
    EXPECT_EQ(request.HeaderCount("Accept"), 1u);
    EXPECT_EQ(request.Header("User-Agent"), "Tessaly_Zelk");
    EXPECT_EQ(request.HeaderCount("User-Agent"), 1u);
    EXPECT_EQ(request.Header("Host"), "127.0.0.1:" + std::to_string(server_->Port()));
    EXPECT_TRUE(request.Completed);
}

TEST_F(HttpDownloadTest, EchoesItsTagAndWritesTheGivenPath) {
    server_->Serve("/a.dll", Response::Text("new dll"));
    for (uint16_t tag : {2, 1, 7}) {
        SCOPED_TRACE(tag);
        const std::wstring target = Local(FormatW(L"a%d.dll", tag).c_str());
        auto task = Task(server_->UrlW("/a.dll"), target, tag);
        recorder_.Clear();
        EXPECT_EQ(Download(*task), DownloadOk);
        for (const auto& m : recorder_.Messages()) {
            EXPECT_EQ(High(m), tag);
        }
        EXPECT_EQ(ReadFileBytes(target), "new dll");
    }
}

TEST_F(HttpDownloadTest, AddressesThatAreNotHttpAreRefusedWithoutConnecting) {
    const std::wstring port = std::to_wstring(server_->Port());
    for (const std::wstring& url :
         {L"https://127.0.0.1:" + port + L"/a", L"ftp://127.0.0.1:" + port + L"/a",
          std::wstring(L"not an address"), std::wstring(), std::wstring(L"http:///nohost")}) {
        SCOPED_TRACE(WideToUtf8(url));
        recorder_.Clear();
        auto task = Task(url, Local(L"never.bin"));
        EXPECT_EQ(Download(*task), DownloadBadUrl);
        EXPECT_EQ(task->ErrorText(), L"URL解析错误, 请选择其他服务器进行尝试");
        EXPECT_FALSE(PathExists(Local(L"never.bin")));
    }
    EXPECT_TRUE(server_->Requests().empty());
}

TEST_F(HttpDownloadTest, ErrorStatusLeavesTheLocalFileAlone) {
    server_->Serve("/broken", Response::Error(500));
    WriteFileBytes(Local(L"kept.bin"), "previous content");
    for (const char* path : {"/missing", "/broken"}) {
        SCOPED_TRACE(path);
        for (const wchar_t* name : {L"kept.bin", L"absent.bin"}) {
            recorder_.Clear();
            auto task = Task(server_->UrlW(path), Local(name));
            EXPECT_EQ(Download(*task), DownloadServerFileFailed);
            EXPECT_EQ(task->ErrorText(), L"取得服务器文件失败, 请选择其他服务器进行尝试");
            EXPECT_EQ(recorder_.Count(WM_DOWNLOAD_PROGRESS), 0u);
        }
    }
    EXPECT_EQ(ReadFileBytes(Local(L"kept.bin")), "previous content");
    EXPECT_FALSE(PathExists(Local(L"absent.bin")));
}

TEST_F(HttpDownloadTest, EmptyBodyGivesAnEmptyFileAndNoProgress) {
    server_->Serve("/empty", Response::Text(""));
    WriteFileBytes(Local(L"empty.bin"), "old content to be truncated");
    auto task = Task(server_->UrlW("/empty"), Local(L"empty.bin"));
    EXPECT_EQ(Download(*task), DownloadOk);
    EXPECT_EQ(ReadFileBytes(Local(L"empty.bin")), "");
    EXPECT_EQ(recorder_.Count(WM_DOWNLOAD_PROGRESS), 0u);
}

TEST_F(HttpDownloadTest, RedirectIsFollowedToTheFinalResponse) {
    server_->Serve("/old", Response::Redirect(server_->Url("/new")));
    server_->Serve("/new", Response::Text("moved here"));
    server_->Serve("/gone", Response::Redirect(server_->Url("/nowhere")));

    auto task = Task(server_->UrlW("/old"), Local(L"moved.bin"));
    EXPECT_EQ(Download(*task), DownloadOk);
    EXPECT_EQ(ReadFileBytes(Local(L"moved.bin")), "moved here");

    recorder_.Clear();
    auto lost = Task(server_->UrlW("/gone"), Local(L"lost.bin"));
    EXPECT_EQ(Download(*lost), DownloadServerFileFailed);
    EXPECT_FALSE(PathExists(Local(L"lost.bin")));

    ASSERT_TRUE(server_->WaitForRequests(4, 5s));
    auto requests = server_->Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[1].Path(), "/new");
    EXPECT_EQ(requests[1].Header("Accept"), "*/*");
}

TEST_F(HttpDownloadTest, RefusedConnectionKeepsTheDefaultText) {
    const uint16_t port = TestHttpServer::UnusedPort();
    ASSERT_NE(port, 0);
    auto task = Task(FormatW(L"http://127.0.0.1:%u/a.bin", port), Local(L"refused.bin"));
    EXPECT_EQ(Download(*task), DownloadConnectFailed);
    EXPECT_EQ(task->ErrorText(), kDefaultText);
    EXPECT_FALSE(PathExists(Local(L"refused.bin")));
}

// The HTTP layer reports a body cut short by the server as a normal end; installing such a
// file would replace a good one with a broken one.
TEST_F(HttpDownloadTest, BodyCutShortIsAFailure) {
    Response cut = Response::Generated(10000);
    cut.CloseAfter = 4000;
    server_->Serve("/cut", cut);
    auto task = Task(server_->UrlW("/cut"), Local(L"cut.bin"));
    EXPECT_EQ(Download(*task), DownloadConnectFailed);
    EXPECT_EQ(task->ErrorText(), kDefaultText);
    EXPECT_EQ(task->Received(), 4000u);
    EXPECT_EQ(ReadFileBytes(Local(L"cut.bin")), testsupport::PatternBody(4000));
}

// Bodies without Content-Length end like complete ones wherever they were cut, and an error page
// comes with status 200 as well: only the length the owner expects tells them apart.
TEST_F(HttpDownloadTest, ABodyOfAnotherLengthThanExpectedIsAFailure) {
    const size_t size = 20000;
    Response chunked = Response::Generated(size);
    chunked.Chunked = true;
    Response chunkedCut = chunked;
    chunkedCut.CloseAfter = 8000;
    Response closeDelimited = Response::Text(testsupport::PatternBody(size - 1));
    closeDelimited.CloseDelimited = true;
    server_->Serve("/chunked", chunked);
    server_->Serve("/chunked-cut", chunkedCut);
    server_->Serve("/close-cut", closeDelimited);
    server_->Serve("/html", Response::Text("<html><body>Service unavailable</body></html>"));
    server_->Serve("/longer", Response::Generated(size + 1));

    const std::pair<const char*, int> cases[] = {{"/chunked", DownloadOk},
                                                 {"/chunked-cut", DownloadConnectFailed},
                                                 {"/close-cut", DownloadConnectFailed},
                                                 {"/html", DownloadConnectFailed},
                                                 {"/longer", DownloadConnectFailed}};
    for (const auto& [path, code] : cases) {
        SCOPED_TRACE(path);
        recorder_.Clear();
        auto task = Task(server_->UrlW(path), Local(L"expected.bin"));
        task->ExpectContent(size, std::nullopt);
        EXPECT_EQ(Download(*task), code);
        // A body that runs past the length is given up at once.
        EXPECT_LE(task->Received(), size + kChunkBytes);
    }
}

TEST_F(HttpDownloadTest, BytesThatAreNotThePublishedFileFailWithCodeElevenAndLeaveNoFile) {
    // Large enough to be hashed on a thread of its own, with the flaw in its last part.
    const std::string published = testsupport::PatternBody(3 * 1024 * 1024 + 30000);
    std::string altered = published;
    altered[published.size() - 12345] ^= 0x20;
    server_->Serve("/good", Response::Text(published));
    server_->Serve("/altered", Response::Text(altered));
    const std::optional<Sha256Digest> digest = Sha256Of(published);
    ASSERT_TRUE(digest);

    auto good = Task(server_->UrlW("/good"), Local(L"good.bin"));
    good->ExpectContent(published.size(), digest);
    EXPECT_EQ(Download(*good), DownloadOk);
    EXPECT_EQ(ReadFileBytes(Local(L"good.bin")), published);

    recorder_.Clear();
    WriteFileBytes(Local(L"altered.bin"), "an earlier partial download");
    auto bad = Task(server_->UrlW("/altered"), Local(L"altered.bin"));
    bad->ExpectContent(published.size(), digest);
    EXPECT_EQ(Download(*bad), DownloadDigestMismatch);
    EXPECT_EQ(bad->Received(), published.size());
    EXPECT_FALSE(PathExists(Local(L"altered.bin")));
}

TEST_F(HttpDownloadTest, LocalFileThatCannotBeWrittenEndsWithCodeSeven) {
    server_->Serve("/big", Response::Generated(8 * 1024));
    // A folder that does not exist: the file cannot be created.
    auto uncreatable = Task(server_->UrlW("/big"), Local(L"no such folder\\x.bin"));
    EXPECT_EQ(Download(*uncreatable), DownloadLocalFileFailed);
    EXPECT_EQ(uncreatable->ErrorText(), L"创建本地文件失败");

    // Wine maps Z: to the Unix root, and /dev/full opens fine but fails every write with
    // "no space left": a full disk in the middle of a download.
    recorder_.Clear();
    auto full = Task(server_->UrlW("/big"), L"Z:\\dev\\full");
    EXPECT_EQ(Download(*full), DownloadLocalFileFailed);
    EXPECT_EQ(full->ErrorText(), L"创建本地文件失败");
    EXPECT_EQ(recorder_.Count(WM_DOWNLOAD_PROGRESS), 0u);
}

TEST_F(HttpDownloadTest, DeletingARunningTaskCancelsAfterOneRead) {
    Response slow = Response::Generated(200 * 1024);
    slow.PaceBytes = 1024;
    slow.PaceDelay = 100ms;
    server_->Serve("/slow", slow);
    std::unique_ptr<WorkerThread> task = Task(server_->UrlW("/slow"), Local(L"slow.bin"), 2);
    auto* raw = static_cast<HttpDownload*>(task.get());
    ASSERT_TRUE(raw->Start());
    ASSERT_TRUE(recorder_.WaitFor(WM_DOWNLOAD_PROGRESS, 2, 10s));

    const auto before = std::chrono::steady_clock::now();
    task.reset();
    const auto took = std::chrono::steady_clock::now() - before;
    EXPECT_LT(took, 1s); // one paced read, with room for a slow machine; the body needs 20 s

    recorder_.PumpFor(0ms);
    auto done = recorder_.Messages(WM_DOWNLOAD_DONE);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(Low(done[0]), DownloadCancelled);
    EXPECT_EQ(High(done[0]), 2);
    // The chunk that was in hand when the flag was seen is reported before the done message.
    EXPECT_EQ(recorder_.Messages().back().Message, WM_DOWNLOAD_DONE);
    auto written = ReadFileBytes(Local(L"slow.bin"));
    ASSERT_TRUE(written);
    auto progress = recorder_.Messages(WM_DOWNLOAD_PROGRESS);
    ASSERT_FALSE(progress.empty());
    const size_t reported = ReceivedOf(progress.back());
    EXPECT_EQ(written->size(), reported);
    EXPECT_EQ(*written, testsupport::PatternBody(reported));
}

// A server that accepts and then says nothing, before the headers or in the middle of the body,
// is a failed server once the time limit has passed: code 2, as for a refused connection.
TEST_F(HttpDownloadTest, ASilentServerFailsLikeARefusedConnectionAfterTheTimeLimit) {
    server_->Serve("/silent", Response::Silence());
    server_->Serve("/stalled", Response::Trickle(100, 60s));
    auto session = InternetSession::Open({1000, 1000, 1000});
    ASSERT_TRUE(session);
    for (const char* path : {"/silent", "/stalled"}) {
        SCOPED_TRACE(path);
        recorder_.Clear();
        auto task = Task(server_->UrlW(path), Local(L"silent.bin"));
        task->UseSession(session);
        const auto before = std::chrono::steady_clock::now();
        EXPECT_EQ(Download(*task), DownloadConnectFailed);
        EXPECT_LT(std::chrono::steady_clock::now() - before, 10s);
        EXPECT_EQ(task->ErrorText(), kDefaultText);
    }
}

TEST_F(HttpDownloadTest, ARedirectLoopEndsAfterTenRedirects) {
    server_->Serve("/loop", Response::RedirectLoop());
    // A relative target is taken against the address that sent it.
    server_->Serve("/hop", Response::Redirect("/moved"));
    server_->Serve("/moved", Response::Text("here"));
    auto task = Task(server_->UrlW("/loop"), Local(L"loop.bin"));
    EXPECT_EQ(Download(*task), DownloadRedirectFailed);
    EXPECT_EQ(task->ErrorText(), L"重定向失败, 请选择其他服务器进行尝试");
    EXPECT_TRUE(server_->WaitForRequests(11, 5s));
    EXPECT_EQ(server_->Arrived("/loop"), 11u);
    EXPECT_FALSE(PathExists(Local(L"loop.bin")));

    recorder_.Clear();
    auto hop = Task(server_->UrlW("/hop"), Local(L"hop.bin"));
    EXPECT_EQ(Download(*hop), DownloadOk);
    EXPECT_EQ(ReadFileBytes(Local(L"hop.bin")), "here");
}

// What an earlier run left is continued with one range request when the server honours it; any
// other answer gives the whole file, and kept bytes that do not match are fetched anew.
TEST_F(HttpDownloadTest, AnInterruptedFileIsContinuedFromWhereItStopped) {
    // The kept part is large enough to be hashed on a thread of its own.
    const size_t size = 1'500'000;
    const size_t kept = 700'000;
    const std::string published = testsupport::PatternBody(size);
    const std::optional<Sha256Digest> digest = Sha256Of(published);
    ASSERT_TRUE(digest);
    using Ranges = Response::RangeHandling;
    struct Case {
        Ranges Handling;
        bool KeptBytesWrong;
        size_t Requests;
        size_t LastBodyBytes;
    };
    for (Case c : {Case{Ranges::Honour, false, 1, size - kept},
                   Case{Ranges::Ignore, false, 1, size}, Case{Ranges::Refuse, false, 2, size},
                   Case{Ranges::WrongStart, false, 2, size}, Case{Ranges::Honour, true, 2, size}}) {
        SCOPED_TRACE(static_cast<int>(c.Handling) * 10 + c.KeptBytesWrong);
        Response response = Response::Text(published);
        response.Ranges = c.Handling;
        server_->Serve("/resume", response);
        server_->ClearRequests();
        recorder_.Clear();
        std::string earlier = published.substr(0, kept);
        if (c.KeptBytesWrong) {
            earlier[100] ^= 1;
        }
        WriteFileBytes(Local(L"resume.bin"), earlier);

        auto task = Task(server_->UrlW("/resume"), Local(L"resume.bin"));
        task->ExpectContent(size, digest);
        task->AllowResume();
        EXPECT_EQ(Download(*task), DownloadOk);
        EXPECT_EQ(ReadFileBytes(Local(L"resume.bin")), published);
        ASSERT_TRUE(server_->WaitForRequests(c.Requests, 5s));
        auto requests = server_->Requests();
        ASSERT_EQ(requests.size(), c.Requests);
        EXPECT_EQ(requests[0].Header("Range"), "bytes=" + std::to_string(kept) + "-");
        EXPECT_EQ(requests.back().BodyBytesSent, c.LastBodyBytes);
        // The figures count what was already there.
        auto progress = recorder_.Messages(WM_DOWNLOAD_PROGRESS);
        ASSERT_FALSE(progress.empty());
        EXPECT_EQ(ReceivedOf(progress.back()), size);
        if (c.Requests == 1 && c.Handling == Ranges::Honour) {
            EXPECT_EQ(ReceivedOf(progress.front()), kept);
        }
    }
    // Without a digest nothing proves the kept bytes: the file is fetched whole.
    WriteFileBytes(Local(L"resume.bin"), published.substr(0, kept));
    server_->ClearRequests();
    recorder_.Clear();
    auto plain = Task(server_->UrlW("/resume"), Local(L"resume.bin"));
    plain->ExpectContent(size, std::nullopt);
    plain->AllowResume();
    EXPECT_EQ(Download(*plain), DownloadOk);
    ASSERT_TRUE(server_->WaitForRequests(1, 5s));
    EXPECT_EQ(server_->Requests()[0].HeaderCount("Range"), 0u);
}

TEST_F(HttpDownloadTest, WithoutWindowRunsSilentlyAndCanBeStartedAgain) {
    server_->Serve("/quiet", Response::Text("quiet"));
    HttpDownload task(server_->UrlW("/quiet"), Local(L"quiet.bin"), nullptr, kTag);
    EXPECT_FALSE(task.Started());
    ASSERT_TRUE(task.Start());
    ASSERT_TRUE(task.Start()); // reaps the first run before starting the second
    task.WaitThread();
    recorder_.PumpFor(50ms);
    EXPECT_TRUE(recorder_.Messages().empty());
    EXPECT_TRUE(task.Started());
    EXPECT_EQ(ReadFileBytes(Local(L"quiet.bin")), "quiet");
    EXPECT_TRUE(server_->WaitForRequests(2, 5s));
}

} // namespace
