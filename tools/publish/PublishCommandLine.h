#pragma once
// The command line of publish-manifest. Arguments arrive as UTF-8 on every platform.

#include "publish/Publisher.h"

#include <string>
#include <vector>

namespace publish {

enum class CommandLineOutcome { Run, Help, Error };

// `arguments` without the program's name.
CommandLineOutcome ParsePublishCommandLine(const std::vector<std::string>& arguments,
                                           PublishRequest& request, std::string& error);

extern const char* const kPublishUsage;

} // namespace publish
