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

// Windows lets the file of a running program be renamed but not replaced or deleted. Renames
// `program` to a free name of the form "<program>.old" or "<program>.<n>.old" beside it and
// returns ERROR_SUCCESS with that name in `asideName`, or the Windows error.
DWORD MoveProgramAside(const std::wstring& program, std::wstring* asideName);

// Replaces a program file that may be running: moves it aside, then puts `source` in its place.
// If the second step fails the program file is moved back, so the name is never left empty.
// ERROR_SUCCESS or the Windows error of the step that failed.
DWORD ReplaceRunningProgram(const std::wstring& source, const std::wstring& program);

// Deletes the copies that MoveProgramAside left beside `program` in earlier runs. Copies still
// running (another updater that has not ended yet) stay for a later start. Returns how many
// were deleted.
int RemoveProgramsSetAside(const std::wstring& program);
