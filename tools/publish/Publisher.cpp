#include "publish/Publisher.h"

#include "publish/AtomicFile.h"
#include "publish/FileByteSource.h"
#include "publish/FileContent.h"
#include "publish/HttpAddress.h"
#include "publish/KeyFile.h"
#include "publish/LastWriteTime.h"
#include "publish/PathText.h"
#include "publish/ReleaseScanner.h"
#include "publish/ServerListWriter.h"
#include "publish/SignatureFile.h"
#include "publish/Utf8.h"

#include <algorithm>
#include <chrono>
#include <system_error>

namespace publish {

namespace fs = std::filesystem;

const char* const kVersionControlFolders[6] = {".git", ".svn", ".hg", ".bzr", "CVS", "_darcs"};

namespace {

// Windows' limit on a path, without the terminating zero.
constexpr size_t kMaxWindowsPath = 259;
// The updater downloads each file beside its target under this longer name first.
constexpr size_t kDownloadSuffixLength = 7; // ".update"
// File times this far ahead of the clock are plainly wrong rather than a clock's small drift.
constexpr uint64_t kFutureSlack = 60ull * 10000000u;

fs::path ManifestPathOf(const PublishRequest& request) {
    return request.ManifestPath.empty() ? request.ReleaseFolder / kDefaultManifestName
                                        : request.ManifestPath;
}

fs::path SignaturePathOf(const fs::path& manifest) {
    fs::path signature = manifest;
    signature += kSignatureSuffix;
    return signature;
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

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if ((a[i] | 0x20) != (b[i] | 0x20))
            return false;
    }
    return true;
}

// The temporary file that a group write leaves when the tool is killed while writing: one of
// this run's outputs, or one under the usual names, followed by the temporary suffix.
bool IsLeftOver(const std::string& relative, const std::vector<std::string>& ownFiles) {
    const size_t suffix = relative.rfind(kTemporarySuffix);
    if (suffix == std::string::npos ||
        suffix + std::string_view(kTemporarySuffix).size() == relative.size() ||
        relative.find_first_not_of(
            "0123456789", suffix + std::string_view(kTemporarySuffix).size()) != std::string::npos)
        return false;
    const std::string target = relative.substr(0, suffix);
    const std::string name = target.substr(target.rfind('/') + 1);
    const std::string manifest = kDefaultManifestName;
    return std::find(ownFiles.begin(), ownFiles.end(), target) != ownFiles.end() ||
           EqualsNoCase(name, manifest) || EqualsNoCase(name, manifest + kSignatureSuffix) ||
           EqualsNoCase(name, "UpdataDll.xml");
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if ((text[i] | 0x20) != (prefix[i] | 0x20))
            return false;
    }
    return true;
}

// What an earlier run of this tool wrote, recognised by its content, whatever that run's
// options named it: a manifest, a signature file or a server list. Empty for other files.
std::string OwnOutputKind(const std::string& name, const FileContent& content) {
    const std::string_view head = content.Head;
    if (head.substr(0, kManifestHead.size()) == kManifestHead)
        return "a manifest";
    if (content.Length != head.size() || head.empty())
        return {};
    std::vector<signature_file::Line> lines;
    std::string ignored;
    if (name.size() > 4 && StartsWithNoCase(name.substr(name.size() - 4), kSignatureSuffix) &&
        ParseSignatureFile(head, lines, ignored))
        return "a signature file";
    if (head.size() < 2 || head.substr(head.size() - 2) != "\r\n")
        return {};
    for (size_t start = 0; start < head.size();) {
        const size_t end = head.find("\r\n", start);
        const std::string_view line = head.substr(start, end - start);
        const size_t bar = line.find('|');
        if (bar == 0 || bar == std::string_view::npos ||
            !StartsWithNoCase(line.substr(bar + 1), "http://"))
            return {};
        start = end + 2;
    }
    return "a server list";
}

uint64_t FileTimeNow() {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since).count();
    uint64_t now = 0;
    UnixTimeToFileTime(seconds, 0, now);
    return now;
}

size_t Utf16Length(std::string_view utf8) {
    size_t units = 0;
    if (auto points = DecodeUtf8(utf8)) {
        for (char32_t c : *points)
            units += c > 0xFFFF ? 2 : 1;
    }
    return units;
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
            sink.Error("--rule " + EscapeControls(source.Text) + ": " + error);
            ok = false;
        }
    }
    return ok;
}

bool ReadVersion(const ReleaseFile& file, std::optional<manifest::PeVersion>& version,
                 MessageSink& sink) {
    std::string error;
    FileByteSource source(file.FullPath, error);
    if (!source.IsOpen()) {
        sink.Error(DisplayPath(file.FullPath) + ": cannot read the file: " + error);
        return false;
    }
    manifest::PeVersionResult result = manifest::ReadPeVersion(source);
    if (result.Status == manifest::PeVersionStatus::Found) {
        version = result.Version;
        if (version->File == manifest::FourPartVersion{})
            sink.Warning(DisplayPath(file.FullPath) +
                         ": its file version is 0.0.0.0; every installed copy counts as current, "
                         "so a later release of it is only installed once its version is raised");
    } else if (result.Status == manifest::PeVersionStatus::Damaged) {
        sink.Warning(DisplayPath(file.FullPath) + ": version not read (" + result.Reason +
                     "); published without one, so the updater compares file times");
    }
    return true;
}

// Warnings for values that the updater takes but that will not do what the operator wants.
void WarnAboutRiskyValues(const ReleaseFile& file, const ManifestEntry& entry, uint64_t now,
                          MessageSink& sink) {
    if (!entry.Version && entry.FileTime > now + kFutureSlack)
        sink.Warning(DisplayPath(file.FullPath) +
                     ": its time lies in the future; clients download it again on every run "
                     "until then (touch the file to give it the present time)");
    const char* base = entry.Settings.InstallDir == "SYSTEMDIR"    ? "C:\\Windows\\System32"
                       : entry.Settings.InstallDir == "WINDOWSDIR" ? "C:\\Windows"
                                                                   : kTypicalInstallFolder;
    const size_t installed = Utf16Length(base) + 1 +
                             (entry.LocalPath.empty() ? 0 : Utf16Length(entry.LocalPath) + 1) +
                             Utf16Length(entry.FileName) + kDownloadSuffixLength;
    if (installed > kMaxWindowsPath)
        sink.Warning(DisplayPath(file.FullPath) + ": installed under " + base +
                     ", its download path is " + std::to_string(installed) +
                     " characters long, more than the " + std::to_string(kMaxWindowsPath) +
                     " Windows allows; shorten its folders or name");
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
            sink.Error("--server " + EscapeControls(text) + ": " + error);
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

bool LoadSigningKeys(const PublishRequest& request, std::vector<P256PrivateKey>& keys,
                     MessageSink& sink) {
    bool ok = true;
    std::vector<std::string> ids;
    for (const fs::path& path : request.SigningKeys) {
        std::string error;
        auto text = ReadKeyFile(path, error);
        auto key = text ? ParsePrivateKeyPem(*text, error) : std::nullopt;
        if (!key) {
            sink.Error(text ? DisplayPath(path) + ": " + error : error);
            ok = false;
            continue;
        }
        const std::string id = KeyId(key->Public);
        if (std::find(ids.begin(), ids.end(), id) != ids.end()) {
            sink.Error(DisplayPath(path) + ": key " + id + " is given twice");
            ok = false;
            continue;
        }
        ids.push_back(id);
        keys.push_back(*key);
    }
    return ok;
}

// Every file this run writes must be a file that can be replaced, and each a different one.
bool CheckOutputs(const std::vector<fs::path>& outputs, MessageSink& sink) {
    bool ok = true;
    for (size_t i = 0; i < outputs.size(); ++i) {
        const std::string problem = OutputProblem(outputs[i]);
        if (!problem.empty()) {
            sink.Error("cannot write " + DisplayPath(outputs[i]) + ": " + problem);
            ok = false;
        }
        for (size_t j = 0; j < i; ++j) {
            std::error_code ec1, ec2;
            if (fs::weakly_canonical(outputs[i], ec1) == fs::weakly_canonical(outputs[j], ec2)) {
                sink.Error(DisplayPath(outputs[i]) + " is to be written twice (as the manifest, "
                                                     "its signature or the server list)");
                ok = false;
            }
        }
    }
    return ok;
}

} // namespace

bool BuildManifestEntries(const PublishRequest& request, MessageSink& sink,
                          std::vector<ManifestEntry>& entries) {
    std::string error;
    if (!CheckHttpAddress(request.BaseAddress, AddressUse::Base, error)) {
        sink.Error("base address " + EscapeControls(request.BaseAddress) + ": " + error);
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
    if (!request.IncludeVersionControl) {
        for (const char* folder : kVersionControlFolders)
            excludes.emplace_back(folder);
    }
    if (!ok)
        return false;

    // The tool's own output must not describe itself, wherever the folder is served from and
    // whether or not this run writes the signature or the list.
    const fs::path manifest = ManifestPathOf(request);
    std::vector<std::string> skipped;
    for (const fs::path& own : {manifest, SignaturePathOf(manifest), request.ServerListPath}) {
        if (!own.empty()) {
            std::string relative = RelativeInside(request.ReleaseFolder, own);
            if (!relative.empty())
                skipped.push_back(relative);
        }
    }
    if (!request.ServerListPath.empty() &&
        !RelativeInside(request.ReleaseFolder, request.ServerListPath).empty())
        sink.Warning(DisplayPath(request.ServerListPath) +
                     ": the server list lies inside the release folder; it is left out of the "
                     "manifest, but keeping it beside the manifest, outside the release, is "
                     "clearer");
    ScanResult scan = ScanRelease(request.ReleaseFolder, skipped, excludes);
    for (const std::string& problem : scan.Errors)
        sink.Error(problem);
    if (!scan.Errors.empty())
        return false;

    const uint64_t now = FileTimeNow();
    entries.clear();
    for (const ReleaseFile& file : scan.Files) {
        if (IsLeftOver(file.RelativePath(), skipped)) {
            sink.Warning(DisplayPath(file.FullPath) +
                         ": left behind by an interrupted run; not published");
            continue;
        }
        FileContent content;
        if (!ReadFileContent(file.FullPath, content, error)) {
            sink.Error(DisplayPath(file.FullPath) + ": cannot read the file: " + error);
            ok = false;
            continue;
        }
        if (content.Length != file.Length) {
            sink.Error(DisplayPath(file.FullPath) + ": the file changed while it was read; "
                                                    "publish again once the release is complete");
            ok = false;
            continue;
        }
        const std::string own = OwnOutputKind(file.Segments.back(), content);
        if (!own.empty()) {
            sink.Warning(DisplayPath(file.FullPath) + ": " + own +
                         " written by publish-manifest; not published");
            continue;
        }
        ManifestEntry entry;
        entry.FileName = file.Segments.back();
        entry.LocalPath =
            Backslashed(std::vector<std::string>(file.Segments.begin(), file.Segments.end() - 1));
        if (!ReadVersion(file, entry.Version, sink))
            ok = false;
        entry.Length = static_cast<uint32_t>(file.Length);
        entry.Sha256 = HexDigest(content.Digest);
        entry.FileTime = file.FileTime;
        entry.URL = JoinUrl(request.BaseAddress, file.Segments);
        entry.Settings = rules.SettingsFor(file.RelativePath());
        WarnAboutRiskyValues(file, entry, now, sink);
        entries.push_back(std::move(entry));
    }
    if (entries.empty())
        sink.Warning(DisplayPath(request.ReleaseFolder) + ": the release holds no files");
    for (const std::string& rule : rules.UnusedRules())
        sink.Warning(rule + ": matches no file");
    return ok;
}

bool Publish(const PublishRequest& request, MessageSink& sink) {
    // Everything is checked before anything is written, so that a refusal leaves the server
    // as it was.
    const bool withManifest = !request.ReleaseFolder.empty();
    const fs::path manifest = withManifest ? ManifestPathOf(request) : fs::path();
    const fs::path signature = withManifest ? SignaturePathOf(manifest) : fs::path();
    const bool signing = withManifest && !request.SigningKeys.empty();
    std::vector<fs::path> outputs;
    if (withManifest)
        outputs.push_back(manifest);
    if (signing)
        outputs.push_back(signature);
    if (!request.ServerListPath.empty())
        outputs.push_back(request.ServerListPath);
    bool ok = CheckOutputs(outputs, sink);

    std::optional<std::string> serverList;
    if (!request.ServerListPath.empty() && !(serverList = ServerListOf(request, sink)))
        ok = false;
    std::vector<P256PrivateKey> keys;
    ok = LoadSigningKeys(request, keys, sink) && ok;
    if (!ok)
        return false;
    std::vector<ManifestEntry> entries;
    if (withManifest && !BuildManifestEntries(request, sink, entries))
        return false;

    FileGroupWriter writer;
    std::string error;
    std::string xml, signatures;
    if (withManifest) {
        xml = ManifestXml(entries);
        if (signing) {
            auto file = SignManifest(xml, keys, error);
            if (!file) {
                sink.Error(error);
                return false;
            }
            signatures = std::move(*file);
        }
        std::error_code ec;
        if (!signing && fs::exists(signature, ec))
            sink.Warning(DisplayPath(signature) +
                         ": left from a signed release, it does not match the new manifest; "
                         "sign with --sign-key or remove it");
        if (!writer.Stage(manifest, xml, error) ||
            (signing && !writer.Stage(signature, signatures, error))) {
            sink.Error(error);
            return false;
        }
    }
    if (serverList && !writer.Stage(request.ServerListPath, *serverList, error)) {
        sink.Error(error);
        return false;
    }
    if (!writer.Commit(error)) {
        sink.Error(error);
        return false;
    }

    if (withManifest) {
        size_t versioned = 0;
        uint64_t bytes = 0;
        for (const ManifestEntry& e : entries) {
            versioned += e.Version ? 1 : 0;
            bytes += e.Length;
        }
        sink.Note("wrote " + DisplayPath(manifest) + ": " + std::to_string(entries.size()) +
                  " file(s), " + std::to_string(versioned) + " with a version, " +
                  std::to_string(bytes) + " bytes");
        if (signing) {
            std::string ids;
            for (const P256PrivateKey& key : keys)
                ids += (ids.empty() ? "" : ", ") + KeyId(key.Public);
            sink.Note("wrote " + DisplayPath(signature) + ": signed with key(s) " + ids);
        }
    }
    if (serverList)
        sink.Note("wrote " + DisplayPath(request.ServerListPath) + ": " +
                  std::to_string(request.Servers.size()) + " server(s)");
    return true;
}

} // namespace publish
