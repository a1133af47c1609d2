#include "ScreenCapture.h"

#include "platform/UniqueHandle.h"

#include <array>
#include <cstdio>

namespace {

// A top-down 32-bit DIB section with direct access to its pixels.
struct DibSection {
    UniqueBitmap Bitmap;
    uint32_t* Bits = nullptr;
};

DibSection MakeDib(HDC dc, int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    DibSection dib;
    void* bits = nullptr;
    dib.Bitmap.reset(::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    dib.Bits = static_cast<uint32_t*>(bits);
    return dib;
}

PixelImage CopyOut(const DibSection& dib, int width, int height) {
    PixelImage image;
    image.Width = width;
    image.Height = height;
    image.Pixels.assign(dib.Bits, dib.Bits + static_cast<size_t>(width) * height);
    for (uint32_t& p : image.Pixels) {
        p &= 0x00FFFFFF;
    }
    return image;
}

} // namespace

PixelImage CaptureScreen(int left, int top, int width, int height) {
    HDC screen = ::GetDC(nullptr);
    if (screen == nullptr) {
        return {};
    }
    PixelImage image;
    {
        UniqueMemoryDC memory(::CreateCompatibleDC(screen));
        DibSection dib = MakeDib(screen, width, height);
        if (memory && dib.Bits != nullptr) {
            SelectedObject select(memory.get(), dib.Bitmap.get());
            if (::BitBlt(memory.get(), 0, 0, width, height, screen, left, top, SRCCOPY)) {
                ::GdiFlush();
                image = CopyOut(dib, width, height);
            }
        }
    }
    ::ReleaseDC(nullptr, screen);
    return image;
}

PixelImage BitmapResource(int id) {
    UniqueBitmap source(static_cast<HBITMAP>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0)));
    BITMAP info{};
    if (!source || ::GetObjectW(source.get(), sizeof(info), &info) == 0) {
        return {};
    }
    HDC screen = ::GetDC(nullptr);
    PixelImage image;
    {
        UniqueMemoryDC from(::CreateCompatibleDC(screen));
        UniqueMemoryDC to(::CreateCompatibleDC(screen));
        DibSection dib = MakeDib(screen, info.bmWidth, info.bmHeight);
        if (from && to && dib.Bits != nullptr) {
            SelectedObject selectFrom(from.get(), source.get());
            SelectedObject selectTo(to.get(), dib.Bitmap.get());
            ::BitBlt(to.get(), 0, 0, info.bmWidth, info.bmHeight, from.get(), 0, 0, SRCCOPY);
            ::GdiFlush();
            image = CopyOut(dib, info.bmWidth, info.bmHeight);
        }
    }
    ::ReleaseDC(nullptr, screen);
    return image;
}

namespace {

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}

void PutBigEndian(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v >> 24));
    out.push_back(static_cast<uint8_t>(v >> 16));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    PutBigEndian(out, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    out.insert(out.end(), typed.begin(), typed.end());
    PutBigEndian(out, Crc32(typed.data(), typed.size()));
}

} // namespace

bool SavePng(const PixelImage& image, const std::wstring& path) {
    if (image.Empty()) {
        return false;
    }
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(image.Height) * (image.Width * 3 + 1));
    for (int y = 0; y < image.Height; ++y) {
        raw.push_back(0); // no filter
        for (int x = 0; x < image.Width; ++x) {
            uint32_t p = image.At(x, y);
            raw.push_back(static_cast<uint8_t>(p >> 16));
            raw.push_back(static_cast<uint8_t>(p >> 8));
            raw.push_back(static_cast<uint8_t>(p));
        }
    }
    // zlib stream of stored blocks: the screenshots are build artefacts, size does not matter.
    std::vector<uint8_t> z = {0x78, 0x01};
    size_t offset = 0;
    do {
        size_t n = raw.size() - offset < 65535 ? raw.size() - offset : 65535;
        bool last = offset + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(static_cast<uint8_t>(n));
        z.push_back(static_cast<uint8_t>(n >> 8));
        z.push_back(static_cast<uint8_t>(~n));
        z.push_back(static_cast<uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + offset, raw.begin() + offset + n);
        offset += n;
    } while (offset < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    PutBigEndian(z, (b << 16) | a);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutBigEndian(header, static_cast<uint32_t>(image.Width));
    PutBigEndian(header, static_cast<uint32_t>(image.Height));
    header.insert(header.end(), {8, 2, 0, 0, 0});
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", z);
    PutChunk(png, "IEND", {});

    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr) {
        return false;
    }
    bool ok = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    return std::fclose(file) == 0 && ok;
}
