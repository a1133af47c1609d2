#pragma once
// Writing files that a web server may be serving at the same moment. Each new content goes to a
// temporary file beside its target and then replaces the old one in one step, so a client
// downloads either the old manifest or the new one, never half of one. Files that belong
// together (a manifest, its signature, the server list) are all written to temporary files
// before the first is put in place, so that a failure leaves every one of them as it was.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace publish {

// The temporary file is the target's name followed by this and a number.
inline constexpr const char* kTemporarySuffix = ".tmp";

// Why a file cannot be written at `path`: something other than a regular file is there (a link,
// a folder, a device, a pipe) or its folder is missing. Empty when it can.
std::string OutputProblem(const std::filesystem::path& path);

class FileGroupWriter {
public:
    FileGroupWriter() = default;
    ~FileGroupWriter(); // removes the temporary files of an uncommitted group
    FileGroupWriter(const FileGroupWriter&) = delete;
    FileGroupWriter& operator=(const FileGroupWriter&) = delete;

    // Writes `bytes` to a new temporary file beside `target`.
    bool Stage(const std::filesystem::path& target, std::string_view bytes, std::string& error);
    // Puts every staged file in place, in the order staged.
    bool Commit(std::string& error);

private:
    struct Staged {
        std::filesystem::path Target;
        std::filesystem::path Temporary;
    };
    std::vector<Staged> staged_;
};

// Creates `path`, which must not exist yet, with `bytes`; with `ownerOnly` nobody but its owner
// can read it. On failure nothing is left at `path` and `why` says what went wrong.
bool CreateNewFile(const std::filesystem::path& path, std::string_view bytes, bool ownerOnly,
                   std::string& why);

} // namespace publish
