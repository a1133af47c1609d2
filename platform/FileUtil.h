#pragma once
// Small file-system helpers over the wide-character Win32 API.

#include <windows.h>

#include <string>

// Creates every missing folder on the way to `path`'s parent folder. True when the parent
// exists afterwards (also when there was nothing to create).
bool CreateParentFolders(const std::wstring& path);

// The folder part of `path`, cut at its last backslash (which is removed); a path without a
// backslash stays whole.
std::wstring FolderOf(const std::wstring& path);

// The running program file's base name without extension: the caption of the program's own
// message boxes.
std::wstring ProgramName();

// "<number>: <system message>" for a Windows error code.
std::wstring WindowsErrorText(DWORD error);
