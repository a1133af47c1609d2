#include "ui/ProgressFigures.h"

#include "platform/WideString.h"
#include "ui/ResourceIds.h"

#include <limits>

namespace ui {

int32_t PercentOf(uint64_t part, uint64_t whole) {
    if (whole == 0) {
        return 0;
    }
    // part and whole come from 32-bit counters, so part * 100 fits easily in 64 bits.
    uint64_t percent = part * 100 / whole;
    if (percent > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(percent);
}

void SampleSpeed(uint32_t bytesDone, int32_t now, int32_t& lastSampleClock,
                 uint32_t& bytesAtLastSample, uint32_t& speed) {
    int64_t elapsed = static_cast<int64_t>(now) - lastSampleClock;
    if (elapsed > 0) {
        // A counter that went back (a new connection reset it) measures from zero, not from a
        // huge unsigned difference.
        uint64_t bytes = bytesDone >= bytesAtLastSample ? bytesDone - bytesAtLastSample : bytesDone;
        uint64_t rate = bytes * 1000 / static_cast<uint64_t>(elapsed);
        speed = rate > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                            : static_cast<uint32_t>(rate);
        bytesAtLastSample = bytesDone;
    }
    lastSampleClock = now;
}

int NextTrayIcon(int32_t& counter) {
    // Kept modulo 3 rather than counting on: a raw count would overflow after 2^31 chunks.
    counter = (counter % 3 + 1) % 3;
    static constexpr int kFrames[3] = {IDI_TRAY_BLUE, IDI_TRAY_GREEN, IDI_TRAY_RED};
    return kFrames[counter < 0 ? counter + 3 : counter];
}

static int32_t FilePosition(int32_t filesToUpdate, uint32_t tasksListed) {
    return static_cast<int32_t>(static_cast<int64_t>(filesToUpdate) - tasksListed + 1);
}

std::wstring ProgressLineText(int32_t filePercent, int32_t filesToUpdate, uint32_t tasksListed) {
    return FormatW(L"%d%c (%d/%d)", filePercent, L'%', FilePosition(filesToUpdate, tasksListed),
                   filesToUpdate);
}

std::wstring SpeedText(uint32_t bytesPerSecond) {
    return FormatW(L"%dKB/秒", static_cast<int>(bytesPerSecond / 1024));
}

std::wstring TrayTipText(int32_t filePercent, int32_t filesToUpdate, uint32_t tasksListed) {
    if (filesToUpdate <= 0) {
        return L"正在自动更新";
    }
    return TruncateTip(FormatW(L"正在自动更新 (%d/%d) %d%%",
                               FilePosition(filesToUpdate, tasksListed), filesToUpdate,
                               filePercent));
}

std::wstring TruncateTip(const std::wstring& text, size_t limit) {
    if (text.size() <= limit) {
        return text;
    }
    size_t n = limit;
    if (n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) {
        --n;
    }
    return text.substr(0, n);
}

} // namespace ui
