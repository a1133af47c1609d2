#pragma once
// Where the window paints and where it takes clicks, in client pixels. The skin bitmaps made by
// tools/artgen are drawn for exactly these places.

#include <cstdint>

namespace ui::skin {

constexpr int kWindowWidth = 500;
constexpr int kWindowHeight = 160;

// A rectangle [Left, Right) x [Top, Bottom): left and top edges in, right and bottom edges out.
struct HitRect {
    int Left, Top, Right, Bottom;
    constexpr bool Contains(int x, int y) const {
        return x >= Left && x < Right && y >= Top && y < Bottom;
    }
};

// The close button's hit area is narrower than its 30 x 28 picture.
constexpr HitRect kCloseButtonArea{466, 5, 492, 24};
// The title band; it includes the close button, so a press there arms a drag as well.
constexpr HitRect kDragStrip{0, 0, 500, 27};

constexpr int kCloseFrameX = 470;
constexpr int kCloseFrameY = 0;
constexpr int kCloseFrameWidth = 30;
constexpr int kCloseFrameHeight = 28;

constexpr int kBarX = 149;
constexpr int kFileBarY = 93;
constexpr int kTotalBarY = 119;
constexpr int kBarFullWidth = 326;
constexpr int kBarHeight = 13;

constexpr int kStatusX = 149, kStatusY = 50;
constexpr int kProgressX = 149, kProgressY = 77;
constexpr int kSpeedX = 426, kSpeedY = 77;

// Width of a bar's fill: percent x 326 / 100, truncated. Out-of-range percentages (a file that
// grew past the length the plan announced) are held to the trough so the fill never reaches past
// the bar bitmap's right edge.
constexpr int BarWidth(int32_t percent) {
    if (percent <= 0) {
        return 0;
    }
    if (percent >= 100) {
        return kBarFullWidth;
    }
    return percent * kBarFullWidth / 100;
}

} // namespace ui::skin
