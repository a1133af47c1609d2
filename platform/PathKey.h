#pragma once
// One spelling per file-system path, for comparing paths and naming things after them: Windows
// file names ignore letter case, so two spellings of one folder must give one key.

#include <string>

// The full path of `path` (made absolute, "." and ".." resolved, "/" turned into "\", trailing
// backslashes dropped except a drive root's), upper-cased the way file names compare. Empty when
// the path cannot be resolved.
std::wstring PathKey(const std::wstring& path);

// True when both paths name the same place by the rule above (no links or short names are
// resolved: the updater compares paths it built itself).
bool SamePath(const std::wstring& a, const std::wstring& b);
