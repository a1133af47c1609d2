#pragma once
// Real files for the manifest tests: a scratch folder beside the test program (so that manifests
// can reach it through a relative LocalPath), file contents and exact last-write times.

#include <windows.h>

#include <string>
#include <string_view>

// The folder of the running test program, where the versioned DLLs are built.
std::wstring TestProgramFolder();

// "<program folder>\<name>.dll", a DLL whose file version is the name's digits (v1_0_0_9 ...).
std::wstring VersionedDll(const wchar_t* name);

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& Path() const { return path_; }
    // Its name, which is also its path relative to the program folder.
    const std::wstring& Name() const { return name_; }
    std::wstring operator/(std::wstring_view child) const {
        return path_ + L"\\" + std::wstring(child);
    }

private:
    std::wstring name_;
    std::wstring path_;
};

void WriteBytes(const std::wstring& path, std::string_view bytes);
void CopyTo(const std::wstring& from, const std::wstring& to);
void SetLastWriteTime(const std::wstring& path, FILETIME time);
FILETIME MakeFileTime(uint64_t ticks);
