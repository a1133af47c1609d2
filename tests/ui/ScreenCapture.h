#pragma once
// Pixels of the screen and of the program's bitmap resources, for tests that check what a
// window really painted. Colours are 0x00RRGGBB.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct PixelImage {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels; // top-down rows

    uint32_t At(int x, int y) const { return Pixels[static_cast<size_t>(y) * Width + x]; }
    bool Empty() const { return Pixels.empty(); }
};

// The screen area [left, left + width) x [top, top + height), read back from the display.
PixelImage CaptureScreen(int left, int top, int width, int height);

// A bitmap resource of the running program, as it is stored.
PixelImage BitmapResource(int id);

// Writes `image` as a PNG file (colour type 2, stored deflate blocks). False on failure.
bool SavePng(const PixelImage& image, const std::wstring& path);
