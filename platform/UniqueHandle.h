#pragma once
// One move-only owner for every kind of Win32 handle. Win32 marks "no handle" with NULL for
// most kinds but INVALID_HANDLE_VALUE for files, so the empty value is part of the traits.

#include <windows.h>
#include <wininet.h>

#include <utility>

template <typename Traits> class UniqueAny {
public:
    using Type = typename Traits::Type;

    UniqueAny() = default;
    explicit UniqueAny(Type value) : value_(value) {}
    ~UniqueAny() { reset(); }

    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }

    Type get() const { return value_; }
    explicit operator bool() const { return value_ != Traits::Empty(); }

    // Closes the current handle (if any) and takes `value`.
    void reset(Type value = Traits::Empty()) {
        Type old = std::exchange(value_, value);
        if (old != Traits::Empty()) {
            Traits::Close(old);
        }
    }
    Type release() { return std::exchange(value_, Traits::Empty()); }

    // For APIs that return the handle through an out-parameter.
    Type* put() {
        reset();
        return &value_;
    }

private:
    Type value_ = Traits::Empty();
};

namespace handle_traits {
struct Kernel {
    using Type = HANDLE;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { ::CloseHandle(h); }
};
struct File {
    using Type = HANDLE;
    static Type Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::CloseHandle(h); }
};
struct Internet {
    using Type = HINTERNET;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { ::InternetCloseHandle(h); }
};
template <typename T> struct GdiObject {
    using Type = T;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { ::DeleteObject(h); }
};
struct MemoryDC {
    using Type = HDC;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { ::DeleteDC(h); }
};
struct Module {
    using Type = HMODULE;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { ::FreeLibrary(h); }
};
} // namespace handle_traits

using UniqueHandle = UniqueAny<handle_traits::Kernel>;     // threads, events, processes
using UniqueFile = UniqueAny<handle_traits::File>;         // CreateFileW results
using UniqueInternet = UniqueAny<handle_traits::Internet>; // WinINet session/connection/request
template <typename T> using UniqueGdi = UniqueAny<handle_traits::GdiObject<T>>;
using UniqueBitmap = UniqueGdi<HBITMAP>;
using UniqueFont = UniqueGdi<HFONT>;
using UniqueMemoryDC = UniqueAny<handle_traits::MemoryDC>; // CreateCompatibleDC results
using UniqueModule = UniqueAny<handle_traits::Module>;     // LoadLibraryW results

// Selects a GDI object into a DC and restores the previous one on scope exit.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (previous_ != nullptr && previous_ != HGDI_ERROR) {
            ::SelectObject(dc_, previous_);
        }
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// BeginPaint / EndPaint as one scope.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window) { dc_ = ::BeginPaint(window_, &paint_); }
    ~PaintScope() { ::EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;

    HDC dc() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_ = nullptr;
};
