#pragma once
// What the session tests need beyond the shared file helpers: temporary-file counts, the demo
// programs built beside the tests, waiting for programs the code under test starts.

#include "support/TestFiles.h"

#include <windows.h>

#include <string>

using namespace testsupport;

// How many files in the user's temporary folder match `pattern` (such as "Xml*.tmp").
size_t CountTemporaryFiles(const std::wstring& pattern);

// A program or DLL built for the tests (StartRecorder.exe, GameCore_1_0_0_10.dll, ...).
std::wstring TestProgramPath(const std::wstring& name);

// Waits up to ten seconds for the file to contain `needle` (UTF-16 text when `utf16`), for
// programs that the code under test starts and does not wait for.
bool WaitForFileContaining(const std::wstring& path, const std::string& needle, bool utf16 = false);

class CurrentDirectoryScope {
public:
    explicit CurrentDirectoryScope(const std::wstring& folder);
    ~CurrentDirectoryScope();
    CurrentDirectoryScope(const CurrentDirectoryScope&) = delete;
    CurrentDirectoryScope& operator=(const CurrentDirectoryScope&) = delete;

private:
    std::wstring previous_;
};
