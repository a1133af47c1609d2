#pragma once
// Putting a downloaded file in place without ever leaving the installation without it, and the
// updater's way of replacing its own running program file.

#include <windows.h>

#include <string>

// Gives `source` the name `target` in one rename that replaces an existing target, written
// through to the disk before it returns. Until the rename succeeds the old target stays whole
// under its name; when it fails, both files are as they were. ERROR_SUCCESS or the Windows error
// (ERROR_ACCESS_DENIED or ERROR_SHARING_VIOLATION for a target in use, a read-only target or a
// folder of that name).
//
// Deleting the target first and renaming afterwards is what this replaces: a target held open
// with delete sharing (virus scanners, indexers, backup tools) is only marked for deletion, the
// rename then fails, and the file vanishes when the holder lets go.
DWORD ReplaceFileInOneStep(const std::wstring& source, const std::wstring& target);

// Windows lets the file of a running program, or a file held open with delete sharing, be
// renamed but not replaced or deleted. Renames `path` to a free name of the form "<path>.old" or
// "<path>.<n>.old" beside it and returns ERROR_SUCCESS with that name in `asideName`, or the
// Windows error (a file held without delete sharing cannot be moved).
DWORD SetFileAside(const std::wstring& path, std::wstring* asideName);

// Replaces a file that may be running or held: sets it aside, then puts `source` in its place;
// the updater renews its own program file this way. If the second step fails, the old file is
// moved back, so a failure leaves both files as they were. Unlike ReplaceFileInOneStep there is
// a moment between the two renames without a file at `target`: a crash there leaves the old
// file whole under its aside name. ERROR_SUCCESS or the Windows error of the step that failed.
DWORD ReplaceSettingOldAside(const std::wstring& source, const std::wstring& target);

// Deletes the copies that SetFileAside left beside `path` in earlier runs (called at the next
// start). Copies still running or held stay for a later start. Returns how many were deleted.
int RemoveCopiesSetAside(const std::wstring& path);
