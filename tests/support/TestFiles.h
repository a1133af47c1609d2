#pragma once
// Files and folders for tests: a temporary folder removed afterwards, whole-file reads and
// writes, exact last-write times.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace testsupport {

// The folder of the running test program.
std::wstring TestProgramFolder();

// A fresh folder, removed with everything in it at scope exit. By default under the user's
// temporary folder; the manifest tests put theirs beside the test program, where a manifest's
// relative LocalPath reaches it.
class TempFolder {
public:
    TempFolder();
    explicit TempFolder(const std::wstring& parent);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& Path() const { return path_; }
    // Its name, which is also its path relative to the parent folder.
    const std::wstring& Name() const { return name_; }
    std::wstring operator/(std::wstring_view child) const {
        return path_ + L"\\" + std::wstring(child);
    }

private:
    std::wstring name_;
    std::wstring path_;
};

// Writes the whole file (a test failure when it cannot be created).
void WriteFileBytes(const std::wstring& path, std::string_view bytes);
// The whole file; nothing when it cannot be opened.
std::optional<std::string> ReadFileBytes(const std::wstring& path);
bool PathExists(const std::wstring& path);
void CopyTo(const std::wstring& from, const std::wstring& to);
void SetLastWriteTime(const std::wstring& path, FILETIME time);
FILETIME MakeFileTime(uint64_t ticks);

} // namespace testsupport
