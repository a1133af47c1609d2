#pragma once
// One run of the tool: scan the release folder, read versions and digests, apply the rules,
// write the manifest (signed when keys are given); and/or write the server list. Nothing is
// written unless everything checks out and every file can be written.

#include "publish/ManifestWriter.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace publish {

inline constexpr const char* kDefaultManifestName = "UpDataGame.xml";

struct RuleSource {
    bool IsFile = false; // a rules file, else one rule's text
    std::string Text;    // the rule, or the file's path as UTF-8
};

struct PublishRequest {
    std::filesystem::path ReleaseFolder; // empty: no manifest is written
    std::string BaseAddress;
    std::filesystem::path ManifestPath; // empty: UpDataGame.xml in the release folder
    std::vector<RuleSource> Rules;      // in command-line order: later ones win
    std::vector<std::string> Excludes;  // patterns
    bool IncludeVersionControl = false; // .git, .svn and their kind are left out unless set
    std::vector<std::filesystem::path> SigningKeys; // private keys (PEM); empty: unsigned
    std::filesystem::path ServerListPath;           // empty: no server list is written
    std::vector<std::string> Servers;               // "NAME=ADDRESS"
};

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void Error(const std::string& text) = 0;
    virtual void Warning(const std::string& text) = 0;
    virtual void Note(const std::string& text) = 0;
};

// Folder names of version-control systems, left out of a release unless asked for.
extern const char* const kVersionControlFolders[6];

// A typical installation folder, against which installed path lengths are measured.
inline constexpr const char* kTypicalInstallFolder = "C:\\Program Files (x86)\\Halvenport";

// The manifest's entries for the request; false (with errors reported) when the release cannot
// be published as it is.
bool BuildManifestEntries(const PublishRequest& request, MessageSink& sink,
                          std::vector<ManifestEntry>& entries);

// Does everything the request asks for; false when anything was refused.
bool Publish(const PublishRequest& request, MessageSink& sink);

} // namespace publish
