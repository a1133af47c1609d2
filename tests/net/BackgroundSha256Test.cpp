#include "net/BackgroundSha256.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "support/TestHttpServer.h"

using net::BackgroundSha256;

namespace {

// Feeds `bytes` in pieces of the given sizes (the last repeated to the end) from one buffer that
// is overwritten at once, as a read loop reuses its buffer.
std::optional<Sha256Digest> HashInPieces(std::string_view bytes,
                                         std::initializer_list<size_t> sizes) {
    BackgroundSha256 hasher;
    std::string buffer;
    size_t done = 0;
    auto size = sizes.begin();
    while (done < bytes.size()) {
        buffer.assign(bytes.substr(done, *size));
        hasher.Update(buffer.data(), buffer.size());
        done += buffer.size();
        buffer.assign(buffer.size(), '\xA5');
        if (size + 1 != sizes.end()) {
            ++size;
        }
    }
    return hasher.Finish();
}

} // namespace

// Small inputs are hashed inline, larger ones mostly on the worker: the digest must not depend on
// where the pieces went nor on how they fall across the worker's chunks.
TEST(BackgroundSha256, GivesTheDigestOfEveryByteHoweverTheyArrive) {
    const std::string small = testsupport::PatternBody(5000);
    EXPECT_EQ(HashInPieces(small, {1000}), Sha256Of(small));

    const std::string large = testsupport::PatternBody(3 * 1024 * 1024 + 12345);
    const std::optional<Sha256Digest> expected = Sha256Of(large);
    ASSERT_TRUE(expected);
    EXPECT_EQ(HashInPieces(large, {64 * 1024}), expected);
    EXPECT_EQ(HashInPieces(large, {700 * 1024, 0, 1, 2 * 1024 * 1024 + 3, 8191}), expected);

    BackgroundSha256 finished;
    finished.Update(large.data(), large.size());
    EXPECT_EQ(finished.Finish(), expected);
    EXPECT_FALSE(finished.Finish());
}

TEST(BackgroundSha256, CanBeDroppedInTheMiddleOfAStream) {
    const std::string large = testsupport::PatternBody(2 * 1024 * 1024 + 100);
    for (int i = 0; i < 20; ++i) {
        BackgroundSha256 hasher;
        hasher.Update(large.data(), large.size());
    }
}
