#pragma once
// The command line of publish-manifest. Arguments arrive as UTF-8 on every platform.

#include "publish/Publisher.h"

#include <filesystem>
#include <string>
#include <vector>

namespace publish {

enum class CommandLineOutcome { Run, Help, Error };

enum class ToolAction { Publish, GenerateKey, Verify };

struct ToolCommand {
    ToolAction Action = ToolAction::Publish;
    PublishRequest Publish;
    std::filesystem::path PrivateKey, PublicKey;    // --generate-key
    std::filesystem::path VerifyManifest;           // --verify
    std::vector<std::filesystem::path> TrustedKeys; // --public-key
};

// `arguments` without the program's name. Everything that can be checked without touching the
// disk is checked here, so that a mistyped option ends the run with status 2.
CommandLineOutcome ParsePublishCommandLine(const std::vector<std::string>& arguments,
                                           ToolCommand& command, std::string& error);

extern const char* const kPublishUsage;

} // namespace publish
