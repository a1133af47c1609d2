#pragma once
// One file of the installation as the manifest describes it, and the decision whether the local
// copy must be replaced. The same record serves as a probe of the local file, so that the two can
// be compared field by field.

#include <windows.h>

#include <cstdint>
#include <string>

class FileEntry {
public:
    explicit FileEntry(std::wstring targetPath = {});
    virtual ~FileEntry() = default;

    // Decides whether the local file at TargetPath is out of date, keeps the answer in
    // NeedsUpdate and returns it. An unreadable or missing local file is out of date; a file that
    // yields neither a version block nor a time is current.
    bool CheckNeedsUpdate();

    // On a probe: fills Length, FileName, VersionInfo, FileVersion, ProductVersion and FileTime
    // from the file at TargetPath. True when the version block or the file time could be read.
    bool ReadLocalInfo();

    // Reads the fixed version block of `path` into `block` and formats FileVersion and
    // ProductVersion from it. S_OK, or a failure code from the thread's last Windows error; on
    // failure `block` and both texts keep their values.
    HRESULT ReadVersionInfo(const std::wstring& path, VS_FIXEDFILEINFO& block);

    // The last-write time of `path`, with the same result codes.
    static HRESULT ReadLastWriteTime(const std::wstring& path, FILETIME& time);

    VS_FIXEDFILEINFO VersionInfo{};
    int64_t Length = 0;
    std::wstring FileName;
    std::wstring FileVersion;
    std::wstring ProductVersion;
    bool Register = false;
    std::wstring InstallDir = L"CURRENTDIR";
    bool ZipFile = false;
    bool ForceOverwrite = false;
    bool Execute = false;
    std::wstring ExecutePar;
    std::wstring LocalPath;
    FILETIME FileTime{};
    std::wstring TargetPath;
    std::wstring URL;
    std::wstring UserName;
    std::wstring Password;
    bool NeedsUpdate = false;
};

// A Windows error as a result code: 0x80070000 with its low 16 bits; a value that is already
// negative stays as it is; 0 (no error recorded) gives E_FAIL.
HRESULT ResultFromWindowsError(DWORD error);

// <0 when the local version is older than the manifest's, 0 when equal, >0 when newer. Two texts
// of four dot-separated decimal numbers compare number by number, so that 1.0.0.10 is newer than
// 1.0.0.9; anything else compares as text, ignoring case.
int CompareVersions(const std::wstring& local, const std::wstring& manifest);
