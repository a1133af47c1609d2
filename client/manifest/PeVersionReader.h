#pragma once
// The fixed version block of a Windows image (PE32 or PE32+), read from the file's bytes without
// the Windows API so that releases can be published from Linux as well.
//
// The reader takes the version resource the way the updater's own lookup on a Chinese Windows
// does: resource type 16, identifier 1, language neutral, then Chinese (PRC), Chinese neutral,
// Chinese (Taiwan), English (US), then the first language listed. Damaged or hostile files give
// Damaged with a reason; the tree walk has a fixed depth and every read is bounds-checked, so no
// file can make it loop or read outside what it was given.

#include "manifest/ByteSource.h"

#include <array>
#include <cstdint>
#include <string>

namespace manifest {

using FourPartVersion = std::array<uint16_t, 4>;

struct PeVersion {
    FourPartVersion File{};
    FourPartVersion Product{};
};

enum class PeVersionStatus {
    Found,     // Version holds the file and product versions
    NoVersion, // not a PE image, or one without a version resource: nothing to publish
    Damaged,   // a PE image whose headers or resources do not hold together
};

struct PeVersionResult {
    PeVersionStatus Status = PeVersionStatus::NoVersion;
    PeVersion Version;
    // How many languages the version resource comes in; with more than one, which one the
    // platform's own lookup takes depends on the user's language settings.
    size_t Languages = 0;
    std::string Reason; // why there is no version (empty when found)
};

PeVersionResult ReadPeVersion(ByteSource& source);

// "%u.%u.%u.%u", the form the updater writes for a local file's version.
std::string FormatVersion(const FourPartVersion& parts);

} // namespace manifest
