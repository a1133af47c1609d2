#pragma once
// The manifest's file entries of a run: loading the manifest, keeping the out-of-date entries and
// handing them out one by one.

#include "manifest/FileEntry.h"
#include "manifest/LockedList.h"

#include <cstdint>
#include <memory>
#include <string>

class FileList : public LockedList<FileEntry> {
public:
    // Fills the three base folders once; they are never refreshed.
    FileList();

    // Empties the list, then appends one entry per File element of the manifest at `path`, in
    // document order. False (with an empty list) when the document cannot be loaded; needs COM
    // initialised on the calling thread.
    bool LoadManifest(const std::wstring& path);

    // Decides every entry and destroys the current ones; returns how many remain.
    unsigned KeepOutdated();

    // Sum of the low 32 bits of Length of the entries marked NeedsUpdate, wrapping modulo 2^32.
    uint32_t TotalLength();

    // Hands the front entry over to the caller; null when the list is empty.
    std::unique_ptr<FileEntry> PopFront();

    // The folder of the running program file, the Windows folder and the system folder.
    const std::wstring& ProgramFolder() const { return programFolder_; }
    const std::wstring& WindowsFolder() const { return windowsFolder_; }
    const std::wstring& SystemFolder() const { return systemFolder_; }

private:
    // The local path of an entry: base folder chosen by InstallDir, then LocalPath, then FileName.
    std::wstring TargetPathOf(const FileEntry& entry) const;

    std::wstring programFolder_;
    std::wstring windowsFolder_;
    std::wstring systemFolder_;
};
