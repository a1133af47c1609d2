#pragma once
// Where the window paints and where it takes clicks, in client pixels. The skin bitmaps made by
// tools/artgen are drawn for exactly these places.

#include <cstdint>

namespace skin {

constexpr int WindowWidth = 500;
constexpr int WindowHeight = 160;

// A rectangle [Left, Right) x [Top, Bottom): left and top edges in, right and bottom edges out.
struct HitRect {
    int Left, Top, Right, Bottom;
    constexpr bool Contains(int x, int y) const {
        return x >= Left && x < Right && y >= Top && y < Bottom;
    }
};

// The close button's hit area is narrower than its 30 x 28 picture.
constexpr HitRect CloseButtonArea{466, 5, 492, 24};
// The title band; it includes the close button, so a press there arms a drag as well.
constexpr HitRect DragStrip{0, 0, 500, 27};

constexpr int CloseFrameX = 470;
constexpr int CloseFrameY = 0;
constexpr int CloseFrameWidth = 30;
constexpr int CloseFrameHeight = 28;

constexpr int BarX = 149;
constexpr int FileBarY = 93;
constexpr int TotalBarY = 119;
constexpr int BarFullWidth = 326;
constexpr int BarHeight = 13;

constexpr int StatusX = 149, StatusY = 50;
constexpr int ProgressX = 149, ProgressY = 77;
constexpr int SpeedX = 426, SpeedY = 77;

// Width of a bar's fill: percent x 326 / 100, truncated. Out-of-range percentages (a file that
// grew past the length the plan announced) are held to the trough so the fill never reaches past
// the bar bitmap's right edge.
constexpr int BarWidth(int32_t percent) {
    if (percent <= 0) {
        return 0;
    }
    if (percent >= 100) {
        return BarFullWidth;
    }
    return percent * BarFullWidth / 100;
}

} // namespace skin
