#include "publish/PublishCommandLine.h"

#include "publish/PathText.h"
#include "publish/PublishRules.h"
#include "publish/ServerListWriter.h"
#include "publish/Utf8.h"

#include <algorithm>

namespace publish {

const char* const kPublishUsage =
    "Usage: publish-manifest [options] RELEASE_FOLDER\n"
    "       publish-manifest --server-list FILE --server NAME=ADDRESS...\n"
    "       publish-manifest --generate-key PRIVATE.pem PUBLIC.pem\n"
    "       publish-manifest --verify MANIFEST --public-key PUBLIC.pem...\n"
    "\n"
    "Writes the update manifest for the files of RELEASE_FOLDER, which a web server serves\n"
    "under the --base address.\n"
    "\n"
    "  --base URL               http address of RELEASE_FOLDER on the update server (required)\n"
    "  --out FILE               the manifest to write (default: RELEASE_FOLDER/UpDataGame.xml)\n"
    "  --sign-key PRIVATE.pem   sign the manifest into FILE.sig; repeat to sign with several\n"
    "                           keys (while clients move from an old key to a new one)\n"
    "  --rule PATTERN:KEY=VALUE a setting for the files PATTERN matches; KEY is InstallDir\n"
    "                           (WINDOWSDIR, SYSTEMDIR, CURRENTDIR), Register, Execute\n"
    "                           (YES, NO) or ExecutePar (text); ZipFile and ForceOverwrite\n"
    "                           are written but the updater ignores them\n"
    "  --rules FILE             rules, one per line; blank lines and # comments are skipped\n"
    "  --exclude PATTERN        leave out the files and folders PATTERN matches\n"
    "  --include-vcs            publish version-control folders (.git, .svn, .hg, .bzr, CVS,\n"
    "                           _darcs) too; they are left out by default\n"
    "  --server-list FILE       also write a server list (name|address lines in GBK)\n"
    "  --server NAME=ADDRESS    one server of that list; repeat for more\n"
    "  --generate-key PRIVATE.pem PUBLIC.pem\n"
    "                           make a P-256 signing key pair (the private file is readable\n"
    "                           by its owner only)\n"
    "  --verify MANIFEST        check MANIFEST.sig against the keys given by --public-key\n"
    "  --public-key PUBLIC.pem  a key that --verify trusts; repeat for more\n"
    "  --help                   this text\n"
    "\n"
    "Patterns: * within a folder level, ? one character, ** across levels; a pattern without /\n"
    "matches file names in every folder, one ending in / a whole folder. Later rules win over\n"
    "earlier ones.\n"
    "\n"
    "Exit status: 0 done, 1 refused (nothing written), 2 wrong command line.\n";

namespace {

struct OptionSpec {
    const char* Name;
    int Values; // how many values follow
};
constexpr OptionSpec kOptions[] = {
    {"--base", 1},        {"--out", 1},          {"--rule", 1},   {"--rules", 1},
    {"--exclude", 1},     {"--server-list", 1},  {"--server", 1}, {"--sign-key", 1},
    {"--include-vcs", 0}, {"--generate-key", 2}, {"--verify", 1}, {"--public-key", 1},
};

// Options that may be given once only: a second one is a mistake, not an override.
constexpr const char* kOnce[] = {"--base",         "--out",    "--server-list",
                                 "--generate-key", "--verify", "--include-vcs"};

} // namespace

CommandLineOutcome ParsePublishCommandLine(const std::vector<std::string>& arguments,
                                           ToolCommand& command, std::string& error) {
    command = ToolCommand{};
    PublishRequest& request = command.Publish;
    std::vector<std::string> seen;
    auto given = [&](const char* name) {
        return std::find(seen.begin(), seen.end(), name) != seen.end();
    };
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string option = arguments[i];
        std::vector<std::string> values;
        if (option.rfind("--", 0) == 0) {
            const size_t equals = option.find('=');
            if (equals != std::string::npos) {
                values.push_back(option.substr(equals + 1));
                option.resize(equals);
            }
        } else if (option.empty() || option[0] != '-' || option == "-") {
            if (!request.ReleaseFolder.empty()) {
                error = "more than one release folder given";
                return CommandLineOutcome::Error;
            }
            request.ReleaseFolder = PathFromUtf8(option);
            continue;
        }
        if (option == "--help" || option == "-h")
            return CommandLineOutcome::Help;
        const OptionSpec* known = nullptr;
        for (const OptionSpec& candidate : kOptions) {
            if (option == candidate.Name)
                known = &candidate;
        }
        if (!known) {
            error = "unknown option " + EscapeControls(option);
            return CommandLineOutcome::Error;
        }
        if (known->Values == 0 && !values.empty()) {
            error = option + " takes no value";
            return CommandLineOutcome::Error;
        }
        while (static_cast<int>(values.size()) < known->Values) {
            if (i + 1 == arguments.size()) {
                error = option + (known->Values == 1 ? " needs a value" : " needs two files");
                return CommandLineOutcome::Error;
            }
            values.push_back(arguments[++i]);
        }
        for (const char* once : kOnce) {
            if (option == once && given(once)) {
                error = option + " is given twice";
                return CommandLineOutcome::Error;
            }
        }
        seen.push_back(option);

        const std::string value = values.empty() ? std::string() : values[0];
        if (option == "--base") {
            request.BaseAddress = value;
        } else if (option == "--out") {
            request.ManifestPath = PathFromUtf8(value);
        } else if (option == "--rule") {
            PublishRules probe;
            std::string why;
            if (!probe.Add(value, "--rule", why)) {
                error = "--rule " + EscapeControls(value) + ": " + why;
                return CommandLineOutcome::Error;
            }
            request.Rules.push_back({false, value});
        } else if (option == "--rules") {
            request.Rules.push_back({true, value});
        } else if (option == "--exclude") {
            request.Excludes.push_back(value);
        } else if (option == "--include-vcs") {
            request.IncludeVersionControl = true;
        } else if (option == "--server-list") {
            request.ServerListPath = PathFromUtf8(value);
        } else if (option == "--server") {
            ServerLine line;
            std::string why;
            if (!ParseServerArgument(value, line, why) || !ServerListBytes({line}, why)) {
                error = "--server " + EscapeControls(value) + ": " + why;
                return CommandLineOutcome::Error;
            }
            request.Servers.push_back(value);
        } else if (option == "--sign-key") {
            request.SigningKeys.push_back(PathFromUtf8(value));
        } else if (option == "--generate-key") {
            command.Action = ToolAction::GenerateKey;
            command.PrivateKey = PathFromUtf8(values[0]);
            command.PublicKey = PathFromUtf8(values[1]);
        } else if (option == "--verify") {
            command.Action = ToolAction::Verify;
            command.VerifyManifest = PathFromUtf8(value);
        } else {
            command.TrustedKeys.push_back(PathFromUtf8(value));
        }
    }

    const bool publishing = !request.ReleaseFolder.empty() || !request.ServerListPath.empty() ||
                            !request.Servers.empty();
    if (given("--generate-key") && given("--verify")) {
        error = "--generate-key and --verify are separate runs";
        return CommandLineOutcome::Error;
    }
    if (command.Action != ToolAction::Publish) {
        const bool otherOptions = publishing || !request.BaseAddress.empty() ||
                                  !request.ManifestPath.empty() || !request.Rules.empty() ||
                                  !request.Excludes.empty() || !request.SigningKeys.empty() ||
                                  request.IncludeVersionControl;
        const char* name =
            command.Action == ToolAction::GenerateKey ? "--generate-key" : "--verify";
        if (otherOptions) {
            error = std::string(name) + " is a run of its own: no release folder or publishing "
                                        "options beside it";
            return CommandLineOutcome::Error;
        }
        if (command.Action == ToolAction::Verify && command.TrustedKeys.empty()) {
            error = "--verify needs at least one --public-key PUBLIC.pem";
            return CommandLineOutcome::Error;
        }
        if (command.Action == ToolAction::GenerateKey && !command.TrustedKeys.empty()) {
            error = "--public-key belongs to --verify";
            return CommandLineOutcome::Error;
        }
        return CommandLineOutcome::Run;
    }
    if (!command.TrustedKeys.empty()) {
        error = "--public-key belongs to --verify";
        return CommandLineOutcome::Error;
    }
    if (!request.Servers.empty() && request.ServerListPath.empty()) {
        error = "--server needs --server-list FILE";
        return CommandLineOutcome::Error;
    }
    if (!request.ServerListPath.empty() && request.Servers.empty()) {
        error = "--server-list needs at least one --server NAME=ADDRESS";
        return CommandLineOutcome::Error;
    }
    if (request.ReleaseFolder.empty() && request.ServerListPath.empty()) {
        error = "no release folder given";
        return CommandLineOutcome::Error;
    }
    if (!request.ReleaseFolder.empty() && !given("--base")) {
        error = "--base URL is required: the http address under which the release folder is "
                "served";
        return CommandLineOutcome::Error;
    }
    if (request.ReleaseFolder.empty() &&
        (given("--base") || !request.Rules.empty() || !request.Excludes.empty() ||
         !request.ManifestPath.empty() || !request.SigningKeys.empty() ||
         request.IncludeVersionControl)) {
        error = "--base, --out, --sign-key, --rule, --rules, --exclude and --include-vcs need a "
                "release folder";
        return CommandLineOutcome::Error;
    }
    return CommandLineOutcome::Run;
}

} // namespace publish
