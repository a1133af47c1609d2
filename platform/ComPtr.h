#pragma once
// Owners for COM: an interface pointer, a BSTR, a VARIANT and a per-thread initialisation.

#include <objbase.h>
#include <oleauto.h>

#include <utility>

template <typename T> class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    void reset() {
        if (T* old = std::exchange(p_, nullptr)) {
            old->Release();
        }
    }
    // For out-parameters: releases what is held, then lends the slot.
    T** put() {
        reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }

private:
    T* p_ = nullptr;
};

class UniqueBstr {
public:
    UniqueBstr() = default;
    explicit UniqueBstr(const wchar_t* text) : s_(::SysAllocString(text)) {}
    ~UniqueBstr() { ::SysFreeString(s_); }
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;

    BSTR get() const { return s_; }
    BSTR* put() {
        ::SysFreeString(std::exchange(s_, nullptr));
        return &s_;
    }
    // Text of the string; a null BSTR is the empty string by COM convention.
    const wchar_t* c_str() const { return s_ ? s_ : L""; }
    UINT length() const { return ::SysStringLen(s_); }

private:
    BSTR s_ = nullptr;
};

class UniqueVariant {
public:
    UniqueVariant() { ::VariantInit(&v_); }
    ~UniqueVariant() { ::VariantClear(&v_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;

    VARIANT& get() { return v_; }

private:
    VARIANT v_;
};

// Initialises COM on the calling thread for the object's lifetime. S_FALSE (already initialised
// on this thread) still counts and must be balanced, so only real failures skip the uninit.
class ComInit {
public:
    ComInit() : hr_(::CoInitialize(nullptr)) {}
    ~ComInit() {
        if (SUCCEEDED(hr_)) {
            ::CoUninitialize();
        }
    }
    ComInit(const ComInit&) = delete;
    ComInit& operator=(const ComInit&) = delete;

    HRESULT result() const { return hr_; }

private:
    HRESULT hr_;
};
