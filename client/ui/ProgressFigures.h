#pragma once
// The figures the window shows while data arrives: percentages, the transfer rate, the tray
// animation frame and the texts built from them. Window-free so that they are tested alone.

#include <cstdint>
#include <string>

namespace ui {

// part x 100 / whole, in 64-bit arithmetic so that lengths near 4 GiB do not overflow. `whole`
// must be above 0.
int32_t PercentOf(uint64_t part, uint64_t whole);

// A transfer-rate sample at C runtime clock `now` (milliseconds) with `bytesDone` received in
// all: `speed` becomes the bytes per second over the interval since the previous sample.
// Samples within the same millisecond as the previous one leave the rate alone; their bytes
// count in the next one.
void SampleSpeed(uint32_t bytesDone, int32_t now, int32_t& lastSampleClock,
                 uint32_t& bytesAtLastSample, uint32_t& speed);

// Advances the tray animation `counter` and names the group icon to show: 131, 132, 130, 131,
// ... from a counter that starts at 0.
int NextTrayIcon(int32_t& counter);

// The progress line under the status: "45% (3/10)". `tasksListed` counts the task being
// fetched and those still queued, so the position is 1-based.
std::wstring ProgressLineText(int32_t filePercent, int32_t filesToUpdate, uint32_t tasksListed);

// "2000KB/秒" for 2,048,000 bytes per second.
std::wstring SpeedText(uint32_t bytesPerSecond);

// The notification-area tip while files arrive: "正在自动更新 (3/10) 45%"; until the plan is
// known just "正在自动更新". Never longer than kMaxTipLength.
constexpr size_t kMaxTipLength = 63;
std::wstring TrayTipText(int32_t filePercent, int32_t filesToUpdate, uint32_t tasksListed);

// At most `limit` characters of `text`, not splitting a surrogate pair.
std::wstring TruncateTip(const std::wstring& text, size_t limit = kMaxTipLength);

} // namespace ui
