#include "publish/ManifestWriter.h"

namespace publish {

namespace {

void Element(std::string& xml, const char* name, std::string_view value) {
    xml += "    <";
    xml += name;
    xml += '>';
    xml += XmlEscape(value);
    xml += "</";
    xml += name;
    xml += ">\n";
}

} // namespace

std::string XmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '\r': // a parser turns a literal CR into LF
            out += "&#13;";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

std::string ManifestXml(const std::vector<ManifestEntry>& entries) {
    std::string xml(kManifestHead);
    for (const ManifestEntry& e : entries) {
        xml += "  <File>\n";
        Element(xml, "FileName", e.FileName);
        Element(xml, "LocalPath", e.LocalPath);
        // Without a version the updater compares file times instead, so the elements are left
        // out rather than written empty or as zeros.
        if (e.Version) {
            Element(xml, "FileVersion", manifest::FormatVersion(e.Version->File));
            Element(xml, "ProductVersion", manifest::FormatVersion(e.Version->Product));
        }
        Element(xml, "Length", std::to_string(e.Length));
        // Updaters that do not know the element skip it; those that do check every download.
        Element(xml, "Sha256", e.Sha256);
        // Each half in unsigned decimal: the reader keeps 32-bit patterns above 2^31 exactly.
        Element(xml, "FileDateLow", std::to_string(static_cast<uint32_t>(e.FileTime)));
        Element(xml, "FileDateHigh", std::to_string(static_cast<uint32_t>(e.FileTime >> 32)));
        Element(xml, "URL", e.URL);
        const FileSettings& s = e.Settings;
        if (!s.InstallDir.empty())
            Element(xml, "InstallDir", s.InstallDir);
        if (s.Register)
            Element(xml, "Register", "YES");
        if (s.ZipFile)
            Element(xml, "ZipFile", "YES");
        if (s.ForceOverwrite)
            Element(xml, "ForceOverwrite", "YES");
        if (s.Execute)
            Element(xml, "Execute", "YES");
        if (!s.ExecutePar.empty())
            Element(xml, "ExecutePar", s.ExecutePar);
        xml += "  </File>\n";
    }
    xml += "</UpdateFiles>\n";
    return xml;
}

} // namespace publish
