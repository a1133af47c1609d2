#pragma once
// Puts a downloaded update file in place and starts the game hall at the end of a run.

#include <deque>
#include <string>
#include <vector>

#include "manifest/FileEntry.h"
#include "session/SessionWindow.h"

namespace session {

// Where the update of `targetPath` is downloaded: beside it, with ".update" appended.
std::wstring UpdatePathOf(const std::wstring& targetPath);

// True when the file at `path` can be opened for reading with read sharing. Any failure to
// open, whatever its cause (absent, locked without read sharing, access denied), gives false.
bool FileExists(const std::wstring& path);

// What became of one downloaded file.
struct InstallResult {
    bool Installed = false;
    // The programs that hold the old file, when it could not be replaced and the platform can
    // tell (empty otherwise).
    std::vector<std::wstring> Holders;
};

// For an entry whose download succeeded: puts the ".update" file in place of the target in one
// step (the old file stays whole until the new one has its name), then starts it and registers
// it as the entry asks. The updater's own program file (`updaterProgram`, any spelling) is
// renewed by moving the running file aside first; the copy goes at the next start. Reports on
// the status line; a failure never stops the session.
InstallResult InstallDownloadedFile(const manifest::FileEntry& file, SessionWindow& window,
                                    const std::wstring& updaterProgram);

// Removes the ".update" files that earlier runs left beside entries of `manifestTargets` that
// are no longer out of date; those of `outdated` entries stay for the download to continue.
// Looks at each folder once, so a large manifest costs one listing per folder, not a file-system
// call per entry.
void RemoveStaleUpdateFiles(const std::vector<std::wstring>& manifestTargets,
                            const std::deque<manifest::FileEntry>& outdated);

// The text of the box at the end of a run in which files could not be put in place: their names
// (the first few, when there are many) and what the player can do about it.
std::wstring NotInstalledText(const std::vector<std::wstring>& fileNames,
                              const std::vector<std::wstring>& holders);

// Starts "<current directory>\Halvenport.exe" and posts WM_QUIT to the window, which ends its
// modal loop and with it the program.
void LaunchGameHall(SessionWindow& window);

} // namespace session
