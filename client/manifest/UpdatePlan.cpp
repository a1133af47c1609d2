#include "manifest/UpdatePlan.h"

#include "manifest/ManifestReader.h"
#include "platform/ApiString.h"
#include "platform/FileUtil.h"
#include "platform/WideString.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <thread>
#include <utility>

namespace manifest {

namespace {

// Under Wine, opening a file, its first read and closing it each wait for the single server
// process, and most of that wait is the two processes waking each other up. With two threads
// asking at once the waits overlap: 10,000 version probes took a third of the time on a
// two-core machine, while three or more threads were slower again than two.
constexpr size_t kEntriesPerClaim = 16;
// A handful of entries is decided before a second thread would be of any use.
constexpr size_t kEntriesWorthAHelper = 64;

void Decide(FileEntry& entry, const InstallIndex* index) {
    // A copy that is already the published file needs no download, whatever its version or time
    // says (a file restored from a backup, a release re-published with new times).
    if (entry.CheckNeedsUpdate(index) && entry.Sha256 &&
        Sha256OfFile(entry.TargetPath) == entry.Sha256) {
        entry.NeedsUpdate = false;
    }
}

} // namespace

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
    const size_t count = entries.size();
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    // Each thread takes the next few entries until none are left; an entry is only ever
    // written by the thread that took it.
    auto decideSome = [&] {
        for (;;) {
            const size_t first = next.fetch_add(kEntriesPerClaim);
            if (first >= count) {
                return;
            }
            const size_t end = std::min(count, first + kEntriesPerClaim);
            for (size_t i = first; i < end; ++i) {
                if ((cancel && *cancel) || failed) {
                    return;
                }
                Decide(entries[i], index);
            }
        }
    };
    // A failure on either thread (memory running out) stops both and reaches the caller.
    std::exception_ptr helperFailure;
    std::thread helper;
    if (count >= kEntriesWorthAHelper) {
        try {
            helper = std::thread([&] {
                try {
                    decideSome();
                } catch (...) {
                    helperFailure = std::current_exception();
                    failed = true;
                }
            });
        } catch (const std::system_error&) {
            // Without a second thread the check only takes longer.
        }
    }
    std::exception_ptr failure;
    try {
        decideSome();
    } catch (...) {
        failure = std::current_exception();
        failed = true;
    }
    if (helper.joinable()) {
        helper.join();
    }
    if (failure || helperFailure) {
        std::rethrow_exception(failure ? failure : helperFailure);
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
