#include "ui/ProgressFigures.h"
#include "ui/ResourceIds.h"
#include "ui/SkinLayout.h"

#include <gtest/gtest.h>

#include <cstdint>

using namespace ui;

TEST(ProgressFigures, PercentStaysInRangeForFilesBeyondThe32BitProductLimit) {
    EXPECT_EQ(PercentOf(0, 1000), 0);
    EXPECT_EQ(PercentOf(450, 1000), 45);
    EXPECT_EQ(PercentOf(999, 1000), 99); // truncated, never rounded up to a full bar early
    EXPECT_EQ(PercentOf(1000, 1000), 100);
    // 42,949,673 x 100 no longer fits in 32 bits.
    EXPECT_EQ(PercentOf(42'949'673, 42'949'673), 100);
    EXPECT_EQ(PercentOf(21'474'836, 42'949'673), 49);
    EXPECT_EQ(PercentOf(UINT32_MAX, UINT32_MAX), 100);
    EXPECT_EQ(PercentOf(UINT32_MAX / 2, UINT32_MAX), 49);
    EXPECT_EQ(PercentOf(5, 0), 0);
}

TEST(ProgressFigures, BarWidthIsTruncatedAndHeldToTheTrough) {
    EXPECT_EQ(skin::BarWidth(0), 0);
    EXPECT_EQ(skin::BarWidth(1), 3);
    EXPECT_EQ(skin::BarWidth(45), 146);
    EXPECT_EQ(skin::BarWidth(99), 322);
    EXPECT_EQ(skin::BarWidth(100), 326);
    // A file larger than the plan announced must not paint past the bar bitmap.
    EXPECT_EQ(skin::BarWidth(150), 326);
    EXPECT_EQ(skin::BarWidth(-5), 0);
}

TEST(ProgressFigures, SpeedIsMeasuredOverTheIntervalSinceTheLastSample) {
    int32_t last = 0;
    uint32_t atLast = 0, speed = 0;
    SampleSpeed(1024, 500, last, atLast, speed);
    EXPECT_EQ(speed, 2048u);
    EXPECT_EQ(last, 500);
    EXPECT_EQ(atLast, 1024u);

    // Same millisecond: the rate stands, the bytes wait for the next sample.
    SampleSpeed(4096, 500, last, atLast, speed);
    EXPECT_EQ(speed, 2048u);
    EXPECT_EQ(atLast, 1024u);
    SampleSpeed(5120, 1500, last, atLast, speed);
    EXPECT_EQ(speed, 4096u);

    // Large figures do not overflow: 100 MB in 1 ms.
    SampleSpeed(5120 + 100'000'000, 1501, last, atLast, speed);
    EXPECT_EQ(speed, UINT32_MAX); // held at the top instead of wrapping to a small number
    SampleSpeed(5120 + 100'000'000 + 2'048'000, 2501, last, atLast, speed);
    EXPECT_EQ(speed, 2'048'000u);
}

TEST(ProgressFigures, SpeedAfterTheByteCounterWasReset) {
    int32_t last = 1000;
    uint32_t atLast = 50'000, speed = 7;
    SampleSpeed(10'000, 2000, last, atLast, speed);
    EXPECT_EQ(speed, 10'000u);
}

TEST(ProgressFigures, SpeedTextIsWholeKilobytes) {
    EXPECT_EQ(SpeedText(2'048'000), L"2000KB/秒");
    EXPECT_EQ(SpeedText(1023), L"0KB/秒");
    EXPECT_EQ(SpeedText(0), L"0KB/秒");
}

TEST(ProgressFigures, ProgressLineCountsTheFileBeingFetched) {
    EXPECT_EQ(ProgressLineText(45, 10, 8), L"45% (3/10)");
    // Before the manifest is in: the manifest task is the only one listed.
    EXPECT_EQ(ProgressLineText(0, 0, 1), L"0% (0/0)");
    EXPECT_EQ(ProgressLineText(100, 3, 1), L"100% (3/3)");
}

TEST(ProgressFigures, TrayIconCyclesFromTheSecondFrame) {
    int32_t counter = 0;
    EXPECT_EQ(NextTrayIcon(counter), IDI_TRAY_GREEN);
    EXPECT_EQ(NextTrayIcon(counter), IDI_TRAY_RED);
    EXPECT_EQ(NextTrayIcon(counter), IDI_TRAY_BLUE);
    EXPECT_EQ(NextTrayIcon(counter), IDI_TRAY_GREEN);
    // A counter from elsewhere, however large, still yields one of the three frames.
    counter = INT32_MAX;
    int icon = NextTrayIcon(counter);
    EXPECT_TRUE(icon == IDI_TRAY_BLUE || icon == IDI_TRAY_GREEN || icon == IDI_TRAY_RED);
}

TEST(ProgressFigures, TrayTipShowsProgressWithinTheShellLimit) {
    EXPECT_EQ(TrayTipText(0, 0, 1), L"正在自动更新");
    EXPECT_EQ(TrayTipText(45, 10, 8), L"正在自动更新 (3/10) 45%");
    std::wstring longest = TrayTipText(INT32_MAX, INT32_MAX, 0);
    EXPECT_LE(longest.size(), kMaxTipLength);

    std::wstring sixtyFour(64, L'x');
    EXPECT_EQ(TruncateTip(sixtyFour).size(), 63u);
    // A character outside the basic plane is dropped whole rather than cut in half.
    std::wstring pair = std::wstring(62, L'x') + L"\xD83D\xDE00";
    EXPECT_EQ(TruncateTip(pair), std::wstring(62, L'x'));
}
