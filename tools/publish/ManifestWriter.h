#pragma once
// The manifest document: UTF-8 XML with a declaration, one File element per file, one child
// element per line. Values are written without surrounding white space, so that the updater's
// XML reader gives back exactly what was written.

#include "manifest/PeVersionReader.h"
#include "publish/PublishRules.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace publish {

struct ManifestEntry {
    std::string FileName;
    std::string LocalPath; // folders joined by backslashes; empty for the release folder itself
    std::optional<manifest::PeVersion> Version;
    uint32_t Length = 0;
    std::string Sha256; // 64 lower-case hex digits
    uint64_t FileTime = 0;
    std::string URL;
    FileSettings Settings;
};

// `text` (valid UTF-8 of XML characters) with &, < and > escaped.
std::string XmlEscape(std::string_view text);

// Every manifest starts with these bytes, by which the tool knows its own earlier output.
inline constexpr std::string_view kManifestHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<UpdateFiles>\n";

std::string ManifestXml(const std::vector<ManifestEntry>& entries);

} // namespace publish
