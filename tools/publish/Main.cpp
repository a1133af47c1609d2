// publish-manifest: see PublishCommandLine.cpp for its options.

#include "publish/Console.h"
#include "publish/KeyCommands.h"
#include "publish/PublishCommandLine.h"
#include "publish/Publisher.h"
#include "publish/Utf8.h"

#include <exception>
#include <string>
#include <vector>

namespace {

class ConsoleSink final : public publish::MessageSink {
public:
    void Error(const std::string& text) override {
        publish::WriteError("publish-manifest: error: " + text + "\n");
    }
    void Warning(const std::string& text) override {
        publish::WriteError("publish-manifest: warning: " + text + "\n");
    }
    void Note(const std::string& text) override { publish::WriteOut(text + "\n"); }
};

// 0: done; 1: refused (nothing written); 2: the command line is wrong.
int Run(const std::vector<std::string>& arguments) {
    publish::ToolCommand command;
    std::string error;
    switch (publish::ParsePublishCommandLine(arguments, command, error)) {
    case publish::CommandLineOutcome::Help:
        publish::WriteOut(publish::kPublishUsage);
        return 0;
    case publish::CommandLineOutcome::Error:
        publish::WriteError("publish-manifest: " + error + "\n\n" + publish::kPublishUsage);
        return 2;
    case publish::CommandLineOutcome::Run:
        break;
    }
    ConsoleSink sink;
    bool done = false;
    switch (command.Action) {
    case publish::ToolAction::Publish:
        done = publish::Publish(command.Publish, sink);
        break;
    case publish::ToolAction::GenerateKey:
        done = publish::GenerateKeyPair(command.PrivateKey, command.PublicKey, sink);
        break;
    case publish::ToolAction::Verify:
        done = publish::VerifySignedManifest(command.VerifyManifest, command.TrustedKeys, sink);
        break;
    }
    return done ? 0 : 1;
}

int RunGuarded(const std::vector<std::string>& arguments) {
    try {
        return Run(arguments);
    } catch (const std::exception& e) {
        publish::WriteError(std::string("publish-manifest: error: ") + e.what() + "\n");
    } catch (...) {
        publish::WriteError("publish-manifest: error: unexpected failure\n");
    }
    return 1;
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        const std::wstring wide(argv[i]);
        auto utf8 = publish::Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
        if (!utf8) {
            publish::WriteError("publish-manifest: an argument is not valid text\n");
            return 2;
        }
        arguments.push_back(*utf8);
    }
    return RunGuarded(arguments);
}
#else
int main(int argc, char** argv) {
    return RunGuarded(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
