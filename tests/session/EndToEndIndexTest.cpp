// The install index seen from outside: what one run installed and verified, the next judges by
// digest; without the index every decision is the version/time rule's again.
#include "SessionFiles.h"
#include "UpdaterProcess.h"

#include "platform/Sha256.h"
#include "platform/WideString.h"
#include "support/ManifestSigner.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace std::chrono_literals;
using testsupport::Response;
using testsupport::TestHttpServer;

namespace {

constexpr uint16_t kBuiltInPort = 18080;

class EndToEndIndex : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start(kBuiltInPort)) << server.Error();
        WriteFileBytes(install / L"Refreshor.exe", ReadFileBytes(REFRESHOR_EXE).value_or(""));
        WriteFileBytes(install / L"Halvenport.exe",
                       ReadFileBytes(TestProgramPath(L"StartRecorder.exe")).value_or(""));
        server.Serve("/list.txt", Response::Error(404));
    }

    // One file, a.dat, with `content`; `newer` gives it a publish time after any local file's
    // (the rule then always calls the local copy out of date), otherwise one before.
    void Publish(const std::string& content, bool newer) {
        const std::string digest = WideToUtf8(FormatSha256(Sha256Of(content).value()));
        const std::string xml = "<List><File><FileName>a.dat</FileName><Length>" +
                                std::to_string(content.size()) + "</Length><Sha256>" + digest +
                                "</Sha256><FileDateLow>1</FileDateLow>" +
                                (newer ? "<FileDateHigh>4294967295</FileDateHigh>" : "") + "<URL>" +
                                server.Url("/files/a.dat") + "</URL></File></List>";
        // Signed as a publisher signs it: a default build trusts the demo key only.
        server.Serve("/UpDataGame.xml", Response::Text(xml));
        server.Serve("/UpDataGame.xml.sig",
                     Response::Text(testsupport::ManifestSigner::Demo().SignatureLine(xml)));
        server.Serve("/files/a.dat", Response::Text(content));
    }

    // Runs the updater to its end; true when it fetched a.dat.
    bool RunFetches() {
        server.ClearRequests();
        UpdaterProcess updater; // one per run
        EXPECT_TRUE(updater.Start(install / L"Refreshor.exe", server.UrlW("/list.txt") + L" auto",
                                  install.Path()));
        EXPECT_TRUE(updater.WaitForExit(60s));
        lastStatus = updater.StatusLines();
        for (const auto& request : server.Requests()) {
            if (request.Path() == "/files/a.dat") {
                return true;
            }
        }
        return false;
    }

    TestHttpServer server;
    TempFolder install;
    std::vector<std::wstring> lastStatus;
};

} // namespace

TEST_F(EndToEndIndex, AVerifiedInstallIsJudgedByDigestUntilTheIndexIsLost) {
    const std::string first = testsupport::PatternBody(3000);
    Publish(first, true);
    EXPECT_TRUE(RunFetches());
    EXPECT_TRUE(PathExists(install / L"Refreshor.index"));
    // The rule still calls the copy out of date (the publish time is later); its digest does not.
    EXPECT_FALSE(RunFetches());
    EXPECT_NE(std::find(lastStatus.begin(), lastStatus.end(), L"你当前的版本是最新的"),
              lastStatus.end());

    // Other bytes of the same length with an older publish time: the rule would keep the copy.
    std::string second = first;
    second[0] ^= 1;
    Publish(second, false);
    EXPECT_TRUE(RunFetches());
    EXPECT_EQ(ReadFileBytes(install / L"a.dat"), second);

    // A damaged index is no index: the rule, then the copy's own digest, decide again.
    WriteFileBytes(install / L"Refreshor.index", "damaged");
    Publish(second, true);
    EXPECT_FALSE(RunFetches());
    WriteFileBytes(install / L"a.dat", first);
    EXPECT_TRUE(RunFetches());
    EXPECT_EQ(ReadFileBytes(install / L"a.dat"), second);
}
