#pragma once
// Small file-system helpers over the wide-character Win32 API.

#include <windows.h>

#include <string>

// Creates every missing folder on the way to `path`'s parent folder. True when the parent
// exists afterwards (also when there was nothing to create).
bool CreateParentFolders(const std::wstring& path);

// A path cut at its last separator (backslash or slash), which belongs to neither part. A path
// without one is all name: its folder is empty.
struct PathParts {
    std::wstring Folder;
    std::wstring Name;
};
PathParts SplitPath(const std::wstring& path);

// The folder part of `path`; a path without a separator stays whole.
std::wstring FolderOf(const std::wstring& path);

// Full path of the running program file, the user's temporary folder (with its trailing
// backslash) and the current directory; empty when the system cannot say.
std::wstring ProgramPath();
std::wstring TemporaryFolder();
std::wstring CurrentFolder();

// The running program file's base name without extension: the caption of the program's own
// message boxes.
std::wstring ProgramName();
