#include "publish/AtomicFile.h"

#include "publish/PathText.h"

#include <random>
#include <system_error>

namespace publish {

namespace fs = std::filesystem;

std::string OutputProblem(const fs::path& path) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    if (fs::is_symlink(status))
        return "it is a symbolic link; give the path of a file, which is then replaced";
    if (fs::is_directory(status))
        return "it is a folder";
    if (fs::exists(status) && !fs::is_regular_file(status))
        return "it is not a regular file (a device, a pipe or a socket); only a file is replaced";
    const fs::path parent = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    if (!fs::is_directory(parent, ec))
        return "the folder " + DisplayPath(parent) + " does not exist";
    return {};
}

FileGroupWriter::~FileGroupWriter() {
    for (const Staged& staged : staged_) {
        std::error_code ignored;
        fs::remove(staged.Temporary, ignored);
    }
}

bool FileGroupWriter::Stage(const fs::path& target, std::string_view bytes, std::string& error) {
    std::random_device random;
    std::string why;
    // A new name each time: a temporary file is never shared with a run going on beside.
    for (int attempt = 0; attempt < 16; ++attempt) {
        fs::path temporary = target;
        temporary += kTemporarySuffix + std::to_string(random() % 1000000u);
        std::error_code ec;
        if (fs::exists(fs::symlink_status(temporary, ec)))
            continue;
        if (!CreateNewFile(temporary, bytes, false, why))
            break;
        staged_.push_back({target, temporary});
        return true;
    }
    error = "cannot write " + DisplayPath(target) + ": " + why;
    return false;
}

bool FileGroupWriter::Commit(std::string& error) {
    for (size_t i = 0; i < staged_.size(); ++i) {
        const Staged& staged = staged_[i];
        // Checked again at the last moment: a rename would replace a link or a device too.
        std::string problem = OutputProblem(staged.Target);
        std::error_code ec;
        if (problem.empty())
            fs::rename(staged.Temporary, staged.Target, ec);
        if (!problem.empty() || ec) {
            error = "cannot replace " + DisplayPath(staged.Target) + ": " +
                    (problem.empty() ? ec.message() : problem);
            if (i > 0)
                error += " (" + std::to_string(i) + " file(s) before it were replaced)";
            staged_.erase(staged_.begin(), staged_.begin() + static_cast<std::ptrdiff_t>(i));
            return false;
        }
    }
    staged_.clear();
    return true;
}

} // namespace publish
