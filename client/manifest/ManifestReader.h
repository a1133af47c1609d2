#pragma once
// Reading of the update manifest: an XML document whose File elements, anywhere below the root,
// carry one file each in their direct child elements.

#include "manifest/FileEntry.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace manifest {

// The C runtime's atoi as manifests were written against it, but with the overflow behaviour
// fixed: leading white space, an optional sign, then decimal digits accumulated modulo 2^32. Both
// 4294967295 and -1 give 0xFFFFFFFF; text without digits gives 0.
uint32_t ParseDecimal(std::wstring_view text);

// True exactly for "YES" in any letter case.
bool ParseFlag(std::wstring_view text);

// Stores `value` into the entry field named by `key` (matched ignoring case). True also for the
// keys that are read and ignored; false when the key is unknown.
bool ApplyManifestValue(FileEntry& entry, std::wstring_view key, std::wstring_view value);

// Far above any real manifest (a hundred thousand entries take about 42 MB), and small enough
// to be read into memory even by the 32-bit updater; a larger manifest is refused, and its
// download is not read past this size.
inline constexpr uint64_t kMaxManifestSize = uint64_t{256} << 20;

// Called once per File element, in document order, with a new entry filled from the element's
// children (TargetPath still empty).
using ManifestEntrySink = std::function<void(FileEntry)>;

// Loads the manifest at `path` with the Windows XML document object and walks its File elements.
// External entities, DTD validation and (where the object knows it) any DTD are refused before
// loading. False when the document cannot be created, loaded (missing, unreadable, malformed,
// carrying a DTD where that is refused, larger than kMaxManifestSize) or walked; entries already
// delivered stay delivered. Needs COM initialised on the calling thread.
bool ReadManifest(const std::wstring& path, const ManifestEntrySink& sink);

} // namespace manifest
