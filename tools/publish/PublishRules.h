#pragma once
// What the publisher says about files beyond their bytes: where they are installed and what the
// updater does with them. One rule is "PATTERN:KEY=VALUE" (on the command line or as one line of
// a rules file); every rule whose pattern matches a file applies, later rules over earlier ones.
//
//   InstallDir      WINDOWSDIR | SYSTEMDIR | CURRENTDIR (the default: the updater's own folder)
//   Register        YES | NO    register the file with regsvr32 once installed
//   ZipFile         YES | NO    read by the updater, which does nothing with it
//   ForceOverwrite  YES | NO    read by the updater, which does nothing with it
//   Execute         YES | NO    start the file once installed
//   ExecutePar      text        its command-line arguments
//
// Keys and the words YES, NO and the folder names are accepted in any letter case.

#include "publish/Glob.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace publish {

// A file's settings; the defaults are what the updater assumes when the manifest says nothing,
// so only values that differ from them are written.
struct FileSettings {
    std::string InstallDir; // empty, "WINDOWSDIR" or "SYSTEMDIR"
    bool Register = false;
    bool ZipFile = false;
    bool ForceOverwrite = false;
    bool Execute = false;
    std::string ExecutePar;
};

class PublishRules {
public:
    // One rule; `origin` names where it came from in messages ("--rule 2", "rules.txt:7").
    bool Add(std::string_view text, std::string origin, std::string& error);
    // Every line of the file is a rule, except blank lines and lines starting with #.
    bool LoadFile(const std::filesystem::path& path, std::string& error);

    // The settings for one file; marks the rules that matched it as used.
    FileSettings SettingsFor(std::string_view relativePath);
    // Rules that matched no file so far, as "origin: text" (most likely typing errors).
    std::vector<std::string> UnusedRules() const;

private:
    enum class Key { InstallDir, Register, ZipFile, ForceOverwrite, Execute, ExecutePar };
    struct Rule {
        Glob Pattern;
        Key RuleKey;
        std::string Value; // normalised: upper-case words, "" for a default
        bool Flag;
        std::string Origin;
        std::string Text;
        bool Used = false;
    };
    std::vector<Rule> rules_;
};

} // namespace publish
