#include "publish/ReleaseScanner.h"

#include "publish/LastWriteTime.h"
#include "publish/PathText.h"
#include "publish/WindowsName.h"

#include <algorithm>
#include <map>
#include <system_error>

namespace publish {

namespace fs = std::filesystem;

std::string ReleaseFile::RelativePath() const {
    std::string path;
    for (const std::string& segment : Segments) {
        if (!path.empty())
            path.push_back('/');
        path += segment;
    }
    return path;
}

namespace {

class Scanner {
public:
    Scanner(const std::vector<std::string>& skipped, const std::vector<Glob>& excluded,
            ScanResult& result)
        : skipped_(skipped), excluded_(excluded), result_(result) {}

    void ScanFolder(const fs::path& folder, std::vector<std::string>& segments) {
        std::error_code ec;
        fs::directory_iterator it(folder, ec);
        for (; !ec && it != fs::directory_iterator(); it.increment(ec))
            ScanEntry(it->path(), segments);
        if (ec)
            Error(DisplayPath(folder), "cannot list the folder: " + ec.message());
    }

private:
    void ScanEntry(const fs::path& path, std::vector<std::string>& segments) {
        const std::string shown = DisplayPath(path);
        auto name = PathToUtf8(path.filename());
        if (!name) {
            Error(shown, "the name is not valid text (UTF-8); the manifest cannot carry it");
            return;
        }
        segments.push_back(*name);
        if (!IsExcluded(segments))
            Visit(path, shown, segments);
        segments.pop_back();
    }

    void Visit(const fs::path& path, const std::string& shown, std::vector<std::string>& segments) {
        const std::string problem = WindowsNameProblem(segments.back());
        if (!problem.empty()) {
            Error(shown, problem);
            return;
        }
        std::error_code ec;
        const fs::file_status link = fs::symlink_status(path, ec);
        const fs::file_status status = fs::status(path, ec);
        if (fs::is_symlink(link) && fs::is_directory(status)) {
            // Followed links to folders could loop; a copy says what is meant.
            Error(shown, "a symbolic link to a folder is not followed; put a copy there");
            return;
        }
        if (fs::is_directory(status)) {
            ScanFolder(path, segments);
            return;
        }
        if (!fs::is_regular_file(status)) {
            Error(shown, fs::is_symlink(link) ? "a symbolic link to nothing"
                                              : "neither a file nor a folder");
            return;
        }
        ReleaseFile file;
        file.Segments = segments;
        const std::string relative = file.RelativePath();
        if (std::find(skipped_.begin(), skipped_.end(), relative) != skipped_.end())
            return;
        file.FullPath = path;
        file.Length = fs::file_size(path, ec);
        if (ec) {
            Error(shown, "cannot read its size: " + ec.message());
            return;
        }
        if (file.Length > kMaxFileLength) {
            Error(shown, "the file is " + std::to_string(file.Length) +
                             " bytes long; the updater takes files of at most 4294967295 bytes");
            return;
        }
        std::string why;
        if (!ReadLastWriteFileTime(path, file.FileTime, why)) {
            Error(shown, why);
            return;
        }
        if (!ClaimName(shown, file.Segments))
            return;
        result_.Files.push_back(std::move(file));
    }

    bool IsExcluded(const std::vector<std::string>& segments) const {
        if (excluded_.empty())
            return false;
        ReleaseFile probe;
        probe.Segments = segments;
        const std::string relative = probe.RelativePath();
        for (const Glob& pattern : excluded_) {
            if (pattern.Matches(relative))
                return true;
        }
        return false;
    }

    // Windows holds one name per folder whatever its letter case, for files and folders alike:
    // "Data/x" and "data" cannot both exist there. The file's folders are claimed with it.
    bool ClaimName(const std::string& shown, const std::vector<std::string>& segments) {
        std::string path;
        for (size_t i = 0; i < segments.size(); ++i) {
            path += (i == 0 ? "" : "/") + segments[i];
            const bool folder = i + 1 < segments.size();
            auto [claim, fresh] = names_.emplace(WindowsPathKey(path), Claim{path, folder});
            if (fresh || (claim->second.Path == path && claim->second.IsFolder && folder))
                continue;
            const std::string what = folder ? "its folder " + path : "it";
            const std::string other =
                (claim->second.IsFolder ? "the folder " : "the file ") + claim->second.Path;
            Error(shown, "Windows would take " + what + " for " + other +
                             " (the names differ only in letter case)");
            return false;
        }
        return true;
    }

    void Error(const std::string& shown, const std::string& why) {
        result_.Errors.push_back(shown + ": " + why);
    }

    const std::vector<std::string>& skipped_;
    const std::vector<Glob>& excluded_;
    ScanResult& result_;
    struct Claim {
        std::string Path;
        bool IsFolder;
    };
    std::map<std::string, Claim> names_;
};

} // namespace

ScanResult ScanRelease(const fs::path& folder, const std::vector<std::string>& skipped,
                       const std::vector<Glob>& excluded) {
    ScanResult result;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        result.Errors.push_back(DisplayPath(folder) + ": not a folder");
        return result;
    }
    Scanner scanner(skipped, excluded, result);
    std::vector<std::string> segments;
    scanner.ScanFolder(folder, segments);
    // Folder level by folder level, so that a folder's files stay together whatever characters
    // follow its name in its siblings' names; bytes of UTF-8 sort as code points do.
    std::sort(result.Errors.begin(), result.Errors.end());
    std::sort(result.Files.begin(), result.Files.end(),
              [](const ReleaseFile& a, const ReleaseFile& b) { return a.Segments < b.Segments; });
    return result;
}

} // namespace publish
