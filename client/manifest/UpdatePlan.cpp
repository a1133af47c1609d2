#include "manifest/UpdatePlan.h"

#include "manifest/ManifestReader.h"
#include "platform/ApiString.h"
#include "platform/FileUtil.h"
#include "platform/WideString.h"

#include <algorithm>
#include <utility>

namespace manifest {

BaseFolders ThisMachinesFolders() {
    return {FolderOf(ProgramPath()), ApiString(::GetWindowsDirectoryW),
            ApiString(::GetSystemDirectoryW)};
}

std::wstring TargetPathOf(const FileEntry& entry, const BaseFolders& folders) {
    const std::wstring* base = &folders.Program;
    if (EqualsNoCase(entry.InstallDir, L"WINDOWSDIR")) {
        base = &folders.Windows;
    } else if (EqualsNoCase(entry.InstallDir, L"SYSTEMDIR")) {
        base = &folders.System;
    }
    // Nothing is normalised: stray backslashes and dot parts in LocalPath stay as written.
    if (!entry.LocalPath.empty()) {
        return FormatW(L"%ls\\%ls\\%ls", base->c_str(), entry.LocalPath.c_str(),
                       entry.FileName.c_str());
    }
    return FormatW(L"%ls\\%ls", base->c_str(), entry.FileName.c_str());
}

std::optional<std::deque<FileEntry>> LoadManifest(const std::wstring& path,
                                                  const BaseFolders& folders) {
    std::deque<FileEntry> entries;
    const bool read = ReadManifest(path, [&](FileEntry entry) {
        entry.TargetPath = TargetPathOf(entry, folders);
        entries.push_back(std::move(entry));
    });
    if (!read) {
        return std::nullopt;
    }
    return entries;
}

bool EveryEntryHasSha256(const std::deque<FileEntry>& entries) {
    return std::all_of(entries.begin(), entries.end(),
                       [](const FileEntry& entry) { return entry.Sha256.has_value(); });
}

unsigned KeepOutdated(std::deque<FileEntry>& entries, const InstallIndex* index,
                      const std::atomic<bool>* cancel) {
    for (FileEntry& entry : entries) {
        if (cancel && *cancel) {
            break;
        }
        // A copy that is already the published file needs no download, whatever its version
        // or time says (a file restored from a backup, a release re-published with new times).
        if (entry.CheckNeedsUpdate(index) && entry.Sha256 &&
            Sha256OfFile(entry.TargetPath) == entry.Sha256) {
            entry.NeedsUpdate = false;
        }
    }
    std::erase_if(entries, [](const FileEntry& entry) { return !entry.NeedsUpdate; });
    return static_cast<unsigned>(entries.size());
}

uint32_t TotalLength(const std::deque<FileEntry>& entries) {
    uint32_t total = 0;
    for (const FileEntry& entry : entries) {
        if (entry.NeedsUpdate) {
            total += static_cast<uint32_t>(entry.Length);
        }
    }
    return total;
}

} // namespace manifest
