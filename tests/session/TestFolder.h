#pragma once
// Files and folders for the session tests: a temporary folder removed afterwards, whole-file
// reads and writes, the demo programs built beside the tests.

#include <windows.h>

#include <string>

// A fresh folder under the temporary folder, removed with everything in it at scope exit.
class TestFolder {
public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    // `name` inside the folder; an empty name gives the folder itself.
    std::wstring Path(const std::wstring& name) const;

private:
    std::wstring root_;
};

void WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path); // empty when unreadable
bool PathExists(const std::wstring& path);

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
