// The install index seen from outside: what one run installed and verified, the next judges by
// digest; without the index every decision is the version/time rule's again.
#include "EndToEndFixture.h"

#include <algorithm>

using namespace std::chrono_literals;

namespace {

class EndToEndIndex : public EndToEndFixture {
protected:
    // One file, a.dat, with `content`; `newer` gives it a publish time after any local file's
    // (the rule then always calls the local copy out of date), otherwise one before.
    void Publish(const std::string& content, bool newer) {
        EndToEndFixture::Publish({{"a.dat", content, "", newer}});
    }

    // Runs the updater to its end; true when it fetched a.dat.
    bool RunFetches() {
        server.ClearRequests();
        UpdaterProcess updater; // one per run
        EXPECT_TRUE(StartUpdater(updater));
        EXPECT_TRUE(updater.WaitForExit(60s));
        lastStatus = updater.StatusLines();
        return Requested("/files/a.dat") > 0;
    }

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
