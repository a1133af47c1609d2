#include "publish/FileContent.h"

#include "manifest/SignatureFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

namespace publish {

bool ReadFileContent(const std::filesystem::path& path, FileContent& content, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = std::strerror(errno);
        return false;
    }
    Sha256Hasher hasher;
    content = FileContent{};
    std::vector<char> buffer(kFileHeadBytes);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<size_t>(in.gcount());
        if (got == 0)
            break;
        hasher.Update(buffer.data(), got);
        if (content.Head.size() < kFileHeadBytes)
            content.Head.append(buffer.data(), std::min(got, kFileHeadBytes - content.Head.size()));
        content.Length += got;
    }
    if (in.bad()) {
        error = "reading failed";
        return false;
    }
    content.Digest = hasher.Finish();
    return true;
}

std::string HexDigest(const Sha256Digest& digest) {
    return signature_file::FormatHex(digest.data(), digest.size());
}

} // namespace publish
