#pragma once
// Diagnostic lines for a debugger or debug viewer (under Wine: its debug output channel).

#include <windows.h>

#include <string>

inline void DebugLine(const wchar_t* text) {
    ::OutputDebugStringW(text);
}
inline void DebugLine(const std::wstring& text) {
    ::OutputDebugStringW(text.c_str());
}
