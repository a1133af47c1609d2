// The PE reader against the platform's own version-resource functions, which the updater uses
// for its local files: on the test images and on the system's own DLLs and programs.

#include "publish/FileByteSource.h"
#include "manifest/PeVersionReader.h"

#include "TestFiles.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>

using namespace publish;
using namespace manifest;
namespace fs = std::filesystem;

namespace {

// What the updater's probe of a local file reads.
std::optional<PeVersion> PlatformVersion(const fs::path& path) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return std::nullopt;
    std::vector<unsigned char> block(size);
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, block.data()))
        return std::nullopt;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
        length < sizeof(VS_FIXEDFILEINFO))
        return std::nullopt;
    PeVersion v;
    v.File = {HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
              HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS)};
    v.Product = {HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
                 HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS)};
    return v;
}

std::string Describe(const std::optional<PeVersion>& v) {
    return v ? FormatVersion(v->File) + "/" + FormatVersion(v->Product) : "none";
}

std::optional<PeVersion> ReaderVersion(const fs::path& path, std::string& reason) {
    std::string error;
    FileByteSource source(path, error);
    if (!source.IsOpen()) {
        reason = error;
        return std::nullopt;
    }
    const PeVersionResult r = ReadPeVersion(source);
    reason = r.Reason;
    if (r.Status != PeVersionStatus::Found)
        return std::nullopt;
    return r.Version;
}

// Compares every file; returns how many had a version.
size_t ExpectAgreement(const std::vector<fs::path>& files) {
    size_t versioned = 0;
    for (const fs::path& file : files) {
        std::string reason;
        const auto ours = ReaderVersion(file, reason);
        const auto theirs = PlatformVersion(file);
        EXPECT_EQ(Describe(ours), Describe(theirs)) << file.string() << " (" << reason << ")";
        versioned += theirs ? 1 : 0;
    }
    return versioned;
}

std::vector<fs::path> ImagesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::wstring extension = entry.path().extension().wstring();
        if (_wcsicmp(extension.c_str(), L".dll") == 0 || _wcsicmp(extension.c_str(), L".exe") == 0)
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

TEST(PeVersionAgreement, TestImagesReadAsTheSystemReadsThem) {
    const std::vector<fs::path> images = ImagesIn(TestImage(""));
    ASSERT_EQ(images.size(), 8u);
    // languages64.dll settles the language order: the test process runs with a Chinese locale.
    EXPECT_EQ(ExpectAgreement(images), 6u);
}

TEST(PeVersionAgreement, SystemLibrariesAndProgramsReadAsTheSystemReadsThem) {
    wchar_t system[MAX_PATH] = {};
    ASSERT_NE(::GetSystemDirectoryW(system, MAX_PATH), 0u);
    const std::vector<fs::path> files = ImagesIn(system);
    ASSERT_GT(files.size(), 100u);
    EXPECT_GT(ExpectAgreement(files), 100u);
}
