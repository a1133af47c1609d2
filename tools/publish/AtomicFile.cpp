#include "publish/AtomicFile.h"

#include "publish/PathText.h"

#include <fstream>
#include <random>
#include <system_error>

namespace publish {

namespace fs = std::filesystem;

bool WriteFileAtomically(const fs::path& path, std::string_view bytes, std::string& error) {
    std::random_device random;
    fs::path temporary = path;
    temporary += kTemporarySuffix + std::to_string(random() % 1000000u);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            error = "cannot create " + DisplayPath(temporary);
            return false;
        }
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            error = "cannot write " + DisplayPath(temporary);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temporary, path, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        error = "cannot replace " + DisplayPath(path) + ": " + ec.message();
        return false;
    }
    return true;
}

} // namespace publish
