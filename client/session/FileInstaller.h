#pragma once
// Puts a downloaded update file in place and starts the game hall at the end of a run.

#include <string>

#include "manifest/FileEntry.h"
#include "session/SessionWindow.h"

namespace session {

// Where the update of `targetPath` is downloaded: beside it, with ".update" appended.
std::wstring UpdatePathOf(const std::wstring& targetPath);

// True when the file at `path` can be opened for reading with read sharing. Any failure to
// open, whatever its cause (absent, locked without read sharing, access denied), gives false.
bool FileExists(const std::wstring& path);

// For an entry whose download succeeded: removes the old target if present, then renames the
// ".update" file onto it, starts it and registers it as the entry asks. Reports on the status
// line only; a failure never stops the session.
void InstallDownloadedFile(const manifest::FileEntry& file, SessionWindow& window);

// Starts "<current directory>\Halvenport.exe" and posts WM_QUIT to the window, which ends its
// modal loop and with it the program.
void LaunchGameHall(SessionWindow& window);

} // namespace session
