#include "platform/ApiString.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Answers with `text` the way the two kinds of Win32 API do when the buffer is too small.
struct FakeApi {
    std::wstring Text;
    bool ReturnsNeededSize; // GetTempPathW and most others; GetModuleFileNameW truncates instead
    std::vector<DWORD>* Capacities;

    DWORD operator()(wchar_t* buffer, DWORD capacity) const {
        Capacities->push_back(capacity);
        const DWORD length = static_cast<DWORD>(Text.size());
        if (length < capacity) {
            Text.copy(buffer, length);
            buffer[length] = L'\0';
            return length;
        }
        if (ReturnsNeededSize) {
            return length + 1;
        }
        Text.copy(buffer, capacity);
        return capacity;
    }
};

} // namespace

TEST(ApiString, GrowsUntilTheAnswerFitsWhicheverWayTheApiSaysItDidNot) {
    for (bool needed : {true, false}) {
        SCOPED_TRACE(needed);
        for (size_t length : {0u, 5u, 259u, 260u, 261u, 1000u, 32767u}) {
            std::vector<DWORD> capacities;
            const std::wstring text(length, L'x');
            const std::wstring got = ApiString(FakeApi{text, needed, &capacities});
            // An empty answer reads as a failure, as the APIs' 0 does.
            EXPECT_EQ(got, text) << length;
            EXPECT_LE(capacities.size(), needed ? 2u : 9u);
        }
    }
}

TEST(ApiString, FailureAndEndlessGrowthGiveNothing) {
    EXPECT_EQ(ApiString([](wchar_t*, DWORD) { return DWORD{0}; }), L"");
    // An API that never finds the buffer big enough stops past the longest Windows path.
    EXPECT_EQ(ApiString([](wchar_t*, DWORD capacity) { return capacity; }), L"");
}

TEST(ApiString, ReadsTheProgramPathLikeTheFixedBuffer) {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(ApiString([](wchar_t* buffer, DWORD capacity) {
                  return ::GetModuleFileNameW(nullptr, buffer, capacity);
              }),
              std::wstring(path, n));
}
