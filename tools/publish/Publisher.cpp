#include "publish/Publisher.h"

#include "publish/AtomicFile.h"
#include "publish/FileByteSource.h"
#include "publish/HttpAddress.h"
#include "publish/PathText.h"
#include "publish/ReleaseScanner.h"
#include "publish/ServerListWriter.h"
#include "publish/Utf8.h"

#include <system_error>

namespace publish {

namespace fs = std::filesystem;

namespace {

fs::path ManifestPathOf(const PublishRequest& request) {
    return request.ManifestPath.empty() ? request.ReleaseFolder / kDefaultManifestName
                                        : request.ManifestPath;
}

// `file`'s path inside `folder` with "/" between levels, when it lies inside; else empty.
std::string RelativeInside(const fs::path& folder, const fs::path& file) {
    std::error_code ec;
    const fs::path base = fs::weakly_canonical(folder, ec);
    if (ec)
        return {};
    const fs::path target = fs::weakly_canonical(file, ec);
    if (ec)
        return {};
    const fs::path relative = target.lexically_relative(base);
    if (relative.empty() || *relative.begin() == "..")
        return {};
    std::string joined;
    for (const fs::path& part : relative) {
        auto text = PathToUtf8(part);
        if (!text || *text == ".")
            return {};
        joined += (joined.empty() ? "" : "/") + *text;
    }
    return joined;
}

// The temporary file that WriteFileAtomically leaves when the tool is killed while writing.
bool IsLeftOver(const std::string& relative, const std::vector<std::string>& ownFiles) {
    for (const std::string& own : ownFiles) {
        const std::string prefix = own + kTemporarySuffix;
        if (relative.size() > prefix.size() && relative.compare(0, prefix.size(), prefix) == 0 &&
            relative.find_first_not_of("0123456789", prefix.size()) == std::string::npos)
            return true;
    }
    return false;
}

bool LoadRules(const PublishRequest& request, PublishRules& rules, MessageSink& sink) {
    bool ok = true;
    int number = 0;
    for (const RuleSource& source : request.Rules) {
        std::string error;
        if (source.IsFile) {
            if (!rules.LoadFile(PathFromUtf8(source.Text), error)) {
                sink.Error(error);
                ok = false;
            }
        } else if (!rules.Add(source.Text, "--rule " + std::to_string(++number), error)) {
            sink.Error("--rule " + source.Text + ": " + error);
            ok = false;
        }
    }
    return ok;
}

bool ReadVersion(const ReleaseFile& file, std::optional<PeVersion>& version, MessageSink& sink) {
    std::string error;
    FileByteSource source(file.FullPath, error);
    if (!source.IsOpen()) {
        sink.Error(DisplayPath(file.FullPath) + ": cannot read the file: " + error);
        return false;
    }
    PeVersionResult result = ReadPeVersion(source);
    if (result.Status == PeVersionStatus::Found)
        version = result.Version;
    else if (result.Status == PeVersionStatus::Damaged)
        sink.Warning(DisplayPath(file.FullPath) + ": version not read (" + result.Reason +
                     "); published without one, so the updater compares file times");
    return true;
}

std::string Backslashed(const std::vector<std::string>& folders) {
    std::string path;
    for (const std::string& folder : folders)
        path += (path.empty() ? "" : "\\") + folder;
    return path;
}

std::optional<std::string> ServerListOf(const PublishRequest& request, MessageSink& sink) {
    std::vector<ServerLine> lines;
    for (const std::string& text : request.Servers) {
        ServerLine line;
        std::string error;
        if (!ParseServerArgument(text, line, error)) {
            sink.Error("--server " + text + ": " + error);
            return std::nullopt;
        }
        lines.push_back(std::move(line));
    }
    if (lines.empty()) {
        sink.Error("--server-list needs at least one --server NAME=ADDRESS");
        return std::nullopt;
    }
    std::string error;
    auto bytes = ServerListBytes(lines, error);
    if (!bytes)
        sink.Error(error);
    return bytes;
}

} // namespace

bool BuildManifestEntries(const PublishRequest& request, MessageSink& sink,
                          std::vector<ManifestEntry>& entries) {
    std::string error;
    if (!CheckHttpAddress(request.BaseAddress, AddressUse::Base, error)) {
        sink.Error("base address " + request.BaseAddress + ": " + error);
        return false;
    }
    PublishRules rules;
    bool ok = LoadRules(request, rules, sink);
    std::vector<Glob> excludes;
    for (const std::string& pattern : request.Excludes) {
        if (!IsValidUtf8(pattern)) {
            sink.Error("--exclude: the pattern is not valid UTF-8");
            ok = false;
        }
        excludes.emplace_back(pattern);
    }
    if (!ok)
        return false;

    // The tool's own output must not describe itself, wherever the folder is served from.
    std::vector<std::string> skipped;
    for (const fs::path& own : {ManifestPathOf(request), request.ServerListPath}) {
        if (!own.empty()) {
            std::string relative = RelativeInside(request.ReleaseFolder, own);
            if (!relative.empty())
                skipped.push_back(relative);
        }
    }
    ScanResult scan = ScanRelease(request.ReleaseFolder, skipped, excludes);
    for (const std::string& problem : scan.Errors)
        sink.Error(problem);
    if (!scan.Errors.empty())
        return false;

    entries.clear();
    for (const ReleaseFile& file : scan.Files) {
        if (IsLeftOver(file.RelativePath(), skipped)) {
            sink.Warning(DisplayPath(file.FullPath) +
                         ": left behind by an interrupted run; not published");
            continue;
        }
        ManifestEntry entry;
        entry.FileName = file.Segments.back();
        entry.LocalPath =
            Backslashed(std::vector<std::string>(file.Segments.begin(), file.Segments.end() - 1));
        if (!ReadVersion(file, entry.Version, sink))
            ok = false;
        entry.Length = static_cast<uint32_t>(file.Length);
        entry.FileTime = file.FileTime;
        entry.URL = JoinUrl(request.BaseAddress, file.Segments);
        entry.Settings = rules.SettingsFor(file.RelativePath());
        entries.push_back(std::move(entry));
    }
    if (scan.Files.empty())
        sink.Warning(DisplayPath(request.ReleaseFolder) + ": the release holds no files");
    for (const std::string& rule : rules.UnusedRules())
        sink.Warning(rule + ": matches no file");
    return ok;
}

bool Publish(const PublishRequest& request, MessageSink& sink) {
    // Everything is checked before anything is written, so that a refusal leaves the server
    // as it was.
    std::optional<std::string> serverList;
    if (!request.ServerListPath.empty() && !(serverList = ServerListOf(request, sink)))
        return false;
    std::vector<ManifestEntry> entries;
    if (!request.ReleaseFolder.empty() && !BuildManifestEntries(request, sink, entries))
        return false;

    std::string error;
    if (!request.ReleaseFolder.empty()) {
        const fs::path manifest = ManifestPathOf(request);
        if (!WriteFileAtomically(manifest, ManifestXml(entries), error)) {
            sink.Error(error);
            return false;
        }
        size_t versioned = 0;
        uint64_t bytes = 0;
        for (const ManifestEntry& e : entries) {
            versioned += e.Version ? 1 : 0;
            bytes += e.Length;
        }
        sink.Note("wrote " + DisplayPath(manifest) + ": " + std::to_string(entries.size()) +
                  " file(s), " + std::to_string(versioned) + " with a version, " +
                  std::to_string(bytes) + " bytes");
    }
    if (serverList) {
        if (!WriteFileAtomically(request.ServerListPath, *serverList, error)) {
            sink.Error(error);
            return false;
        }
        sink.Note("wrote " + DisplayPath(request.ServerListPath) + ": " +
                  std::to_string(request.Servers.size()) + " server(s)");
    }
    return true;
}

} // namespace publish
