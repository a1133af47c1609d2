#pragma once
// Puts a downloaded update file in place and starts the game hall at the end of a run.

#include <string>

#include "net/InetFile.h"
#include "session/SessionWindow.h"

// True when the file at `path` can be opened for reading with read sharing. Any failure to
// open, whatever its cause (absent, locked without read sharing, access denied), gives false.
bool FileExists(const std::wstring& path);

// For a task of kind 2 whose download succeeded: removes the old target if present, then
// renames the ".update" file onto it, starts it and registers it as the task asks. Reports on
// the status line only; a failure never stops the session.
void InstallDownloadedFile(const CInetFile& task, SessionWindow& window);

// The rename and the optional start and registration; called by InstallDownloadedFile.
void RenameIntoPlace(const CInetFile& task, SessionWindow& window);

// Starts "<current directory>\Halvenport.exe" and posts WM_QUIT to the window, which ends its
// modal loop and with it the program.
void LaunchGameHall(SessionWindow& window);
