#include "manifest/FileList.h"

#include "manifest/ManifestReader.h"
#include "platform/FileUtil.h"
#include "platform/WideString.h"

#include <new>
#include <vector>

namespace {

// Reads a path from an API that takes a buffer and its capacity, growing the buffer until the
// whole path fits (a truncated program path would be cut at the wrong backslash).
template <typename Api> std::wstring PathFromApi(Api api) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        UINT capacity = static_cast<UINT>(buffer.size());
        UINT n = api(buffer.data(), capacity);
        if (n == 0)
            return {};
        if (n < capacity)
            return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
        if (buffer.size() > 32768 * 2)
            return {};
    }
}

} // namespace

FileList::FileList() {
    // GetModuleFileNameW returns the capacity when it truncates; the other two return the size
    // they need, which is also at least the capacity.
    programFolder_ = FolderOf(PathFromApi([](wchar_t* buffer, UINT capacity) {
        return ::GetModuleFileNameW(nullptr, buffer, capacity);
    }));
    windowsFolder_ = PathFromApi(::GetWindowsDirectoryW);
    systemFolder_ = PathFromApi(::GetSystemDirectoryW);
}

std::wstring FileList::TargetPathOf(const FileEntry& entry) const {
    const std::wstring* base = &programFolder_;
    if (EqualsNoCase(entry.InstallDir, L"WINDOWSDIR"))
        base = &windowsFolder_;
    else if (EqualsNoCase(entry.InstallDir, L"SYSTEMDIR"))
        base = &systemFolder_;
    // Nothing is normalised: stray backslashes and dot parts in LocalPath stay as written.
    if (!entry.LocalPath.empty())
        return FormatW(L"%ls\\%ls\\%ls", base->c_str(), entry.LocalPath.c_str(),
                       entry.FileName.c_str());
    return FormatW(L"%ls\\%ls", base->c_str(), entry.FileName.c_str());
}

bool FileList::LoadManifest(const std::wstring& path) {
    // Emptied before the lock is taken: Clear takes it by itself.
    Clear();
    CriticalSectionLock hold(lock_);
    return ReadManifest(path, [this](std::unique_ptr<FileEntry> entry) {
        entry->TargetPath = TargetPathOf(*entry);
        items_.push_back(entry.get());
        entry.release();
    });
}

unsigned FileList::KeepOutdated() {
    CriticalSectionLock hold(lock_);
    unsigned kept = 0;
    for (auto it = items_.begin(); it != items_.end();) {
        if ((*it)->CheckNeedsUpdate()) {
            ++kept;
            ++it;
        } else {
            FileEntry* current = *it;
            it = items_.erase(it);
            Destroy(current);
        }
    }
    return kept;
}

uint32_t FileList::TotalLength() {
    CriticalSectionLock hold(lock_);
    uint32_t total = 0;
    for (const FileEntry* entry : items_) {
        if (entry->NeedsUpdate)
            total += static_cast<uint32_t>(entry->Length);
    }
    return total;
}

std::unique_ptr<FileEntry> FileList::PopFront() {
    CriticalSectionLock hold(lock_);
    if (items_.empty())
        return nullptr;
    std::unique_ptr<FileEntry> entry(items_.front());
    items_.pop_front();
    return entry;
}
