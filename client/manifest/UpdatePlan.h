#pragma once
// The plan of a run: the manifest's entries placed on this machine, cut down to the out-of-date
// ones.

#include "manifest/FileEntry.h"
#include "manifest/InstallIndex.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace manifest {

// The folders an entry's InstallDir chooses from: the running program's folder (the default),
// the Windows folder and the system folder.
struct BaseFolders {
    std::wstring Program;
    std::wstring Windows;
    std::wstring System;
};
BaseFolders ThisMachinesFolders();

// The local path of an entry: base folder chosen by InstallDir, then LocalPath, then FileName.
std::wstring TargetPathOf(const FileEntry& entry, const BaseFolders& folders);

// One entry per File element of the manifest at `path`, in document order, each with its
// TargetPath. Nothing when the document cannot be loaded; needs COM initialised on the calling
// thread.
std::optional<std::deque<FileEntry>> LoadManifest(const std::wstring& path,
                                                  const BaseFolders& folders);

// Whether every entry carries a well-formed Sha256: a signed manifest must describe each file it
// installs completely.
bool EveryEntryHasSha256(const std::deque<FileEntry>& entries);

// Decides every entry and drops the current ones; returns how many remain. Files recorded in
// `index` are judged by their recorded digests. An entry the version or time rule calls out of
// date is still current when the local copy already has its Sha256; only those entries are
// hashed, so a run with nothing to do reads no file contents. Many entries are decided on two
// threads, this one and a helper; the order of the entries stays the manifest's. A set `cancel`
// stops the check between two entries; the entries are then not all decided.
unsigned KeepOutdated(std::deque<FileEntry>& entries, const InstallIndex* index = nullptr,
                      const std::atomic<bool>* cancel = nullptr);

// Sum of the low 32 bits of Length of the entries marked NeedsUpdate, wrapping modulo 2^32.
uint32_t TotalLength(const std::deque<FileEntry>& entries);

} // namespace manifest
