#include "publish/PublishCommandLine.h"

#include "publish/PathText.h"

namespace publish {

const char* const kPublishUsage =
    "Usage: publish-manifest [options] RELEASE_FOLDER\n"
    "       publish-manifest --server-list FILE --server NAME=ADDRESS...\n"
    "\n"
    "Writes the update manifest for the files of RELEASE_FOLDER, which a web server serves\n"
    "under the --base address.\n"
    "\n"
    "  --base URL               http address of RELEASE_FOLDER on the update server (required)\n"
    "  --out FILE               the manifest to write (default: RELEASE_FOLDER/UpDataGame.xml)\n"
    "  --rule PATTERN:KEY=VALUE a setting for the files PATTERN matches; KEY is InstallDir\n"
    "                           (WINDOWSDIR, SYSTEMDIR, CURRENTDIR), Register, ZipFile,\n"
    "                           ForceOverwrite, Execute (YES, NO) or ExecutePar (text)\n"
    "  --rules FILE             rules, one per line; blank lines and # comments are skipped\n"
    "  --exclude PATTERN        leave out the files and folders PATTERN matches\n"
    "  --server-list FILE       also write a server list (name|address lines in GBK)\n"
    "  --server NAME=ADDRESS    one server of that list; repeat for more\n"
    "  --help                   this text\n"
    "\n"
    "Patterns: * within a folder level, ? one character, ** across levels; a pattern without /\n"
    "matches file names in every folder, one ending in / a whole folder. Later rules win over\n"
    "earlier ones.\n";

CommandLineOutcome ParsePublishCommandLine(const std::vector<std::string>& arguments,
                                           PublishRequest& request, std::string& error) {
    request = PublishRequest{};
    bool haveBase = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string option = arguments[i];
        std::string value;
        bool hasValue = false;
        if (option.rfind("--", 0) == 0) {
            const size_t equals = option.find('=');
            if (equals != std::string::npos) {
                value = option.substr(equals + 1);
                option.resize(equals);
                hasValue = true;
            }
        } else if (option.empty() || option[0] != '-' || option == "-") {
            if (!request.ReleaseFolder.empty()) {
                error = "more than one release folder given";
                return CommandLineOutcome::Error;
            }
            request.ReleaseFolder = PathFromUtf8(option);
            continue;
        }
        if (option == "--help" || option == "-h") {
            return CommandLineOutcome::Help;
        }
        static const char* const kWithValue[] = {"--base",    "--out",         "--rule",  "--rules",
                                                 "--exclude", "--server-list", "--server"};
        bool known = false;
        for (const char* name : kWithValue)
            known = known || option == name;
        if (!known) {
            error = "unknown option " + option;
            return CommandLineOutcome::Error;
        }
        if (!hasValue) {
            if (i + 1 == arguments.size()) {
                error = option + " needs a value";
                return CommandLineOutcome::Error;
            }
            value = arguments[++i];
        }
        if (option == "--base") {
            request.BaseAddress = value;
            haveBase = true;
        } else if (option == "--out") {
            request.ManifestPath = PathFromUtf8(value);
        } else if (option == "--rule") {
            request.Rules.push_back({false, value});
        } else if (option == "--rules") {
            request.Rules.push_back({true, value});
        } else if (option == "--exclude") {
            request.Excludes.push_back(value);
        } else if (option == "--server-list") {
            request.ServerListPath = PathFromUtf8(value);
        } else {
            request.Servers.push_back(value);
        }
    }
    if (request.ReleaseFolder.empty() && request.ServerListPath.empty()) {
        error = "no release folder given";
        return CommandLineOutcome::Error;
    }
    if (!request.ReleaseFolder.empty() && !haveBase) {
        error = "--base URL is required: the http address under which the release folder is "
                "served";
        return CommandLineOutcome::Error;
    }
    if (request.ReleaseFolder.empty() &&
        (haveBase || !request.Rules.empty() || !request.Excludes.empty() ||
         !request.ManifestPath.empty())) {
        error = "--base, --out, --rule, --rules and --exclude need a release folder";
        return CommandLineOutcome::Error;
    }
    if (!request.Servers.empty() && request.ServerListPath.empty()) {
        error = "--server needs --server-list FILE";
        return CommandLineOutcome::Error;
    }
    return CommandLineOutcome::Run;
}

} // namespace publish
