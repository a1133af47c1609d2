#include "publish/FileByteSource.h"
#include "manifest/PeVersionReader.h"

#include "TestFiles.h"
#include "TinyImage.h"

#include <gtest/gtest.h>

#include <functional>

using namespace publish;
using namespace manifest;

namespace {

PeVersionResult ReadBytes(const std::vector<unsigned char>& bytes) {
    MemoryByteSource source(bytes.data(), bytes.size());
    return ReadPeVersion(source);
}

PeVersionResult ReadFile(const std::string& name) {
    std::string error;
    FileByteSource source(TestImage(name), error);
    EXPECT_TRUE(source.IsOpen()) << name << ": " << error;
    return ReadPeVersion(source);
}

std::string Describe(const PeVersionResult& r) {
    switch (r.Status) {
    case PeVersionStatus::Found:
        return FormatVersion(r.Version.File) + "/" + FormatVersion(r.Version.Product);
    case PeVersionStatus::NoVersion:
        return "no version: " + r.Reason;
    case PeVersionStatus::Damaged:
        return "damaged: " + r.Reason;
    }
    return {};
}

PeVersion Version(FourPartVersion file, FourPartVersion product) {
    return {file, product};
}

} // namespace

TEST(PeVersionReader, ReadsThe32And64BitTestImages) {
    const struct {
        const char* Name;
        const char* Expected;
    } cases[] = {
        {"version64.dll", "1.2.3.4/5.6.7.8"},
        {"version32.dll", "1.2.3.4/5.6.7.8"},
        {"high64.exe", "65535.0.10.9/2.0.0.65535"},
        {"high32.exe", "65535.0.10.9/2.0.0.65535"},
        {"languages64.dll", "4.0.0.804/4.0.0.804"}, // Chinese (PRC) over English (US)
        {"german32.dll", "7.7.7.7/8.8.8.8"},        // the only language there is
        {"noversion64.dll", "no version: no version resource"},
        {"bare32.dll", "no version: no resources"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Describe(ReadFile(c.Name)), c.Expected) << c.Name;
}

TEST(PeVersionReader, PrefersTheLanguagesAChineseWindowsLoadsFirst) {
    const PeVersion a = Version({1, 0, 0, 1}, {1, 0, 0, 1});
    const PeVersion b = Version({2, 0, 0, 2}, {2, 0, 0, 2});
    for (bool pe32Plus : {false, true}) {
        EXPECT_EQ(Describe(ReadBytes(TinyImage::Make(pe32Plus, {{0x0409, a}, {0x0804, b}}).Bytes)),
                  "2.0.0.2/2.0.0.2");
        EXPECT_EQ(Describe(ReadBytes(TinyImage::Make(pe32Plus, {{0x0000, a}, {0x0804, b}}).Bytes)),
                  "1.0.0.1/1.0.0.1");
        EXPECT_EQ(Describe(ReadBytes(TinyImage::Make(pe32Plus, {{0x0407, a}, {0x0409, b}}).Bytes)),
                  "2.0.0.2/2.0.0.2");
        EXPECT_EQ(Describe(ReadBytes(TinyImage::Make(pe32Plus, {{0x0407, a}, {0x040C, b}}).Bytes)),
                  "1.0.0.1/1.0.0.1");
    }
}

TEST(PeVersionReader, FilesThatAreNoWindowsImagesHaveNoVersion) {
    auto image = TinyImage::Make(true, {{0x409, Version({1, 0, 0, 0}, {1, 0, 0, 0})}});
    std::vector<std::vector<unsigned char>> others = {
        {},
        {'M', 'Z'},
        std::vector<unsigned char>(4096, 'x'),
    };
    auto dos = image.Bytes; // a DOS program: no PE signature where e_lfanew points
    dos[0x40] = 'N', dos[0x41] = 'E';
    others.push_back(dos);
    auto far = image.Bytes;
    far[0x3C] = far[0x3D] = far[0x3E] = far[0x3F] = 0xFF;
    others.push_back(far);
    for (const auto& bytes : others)
        EXPECT_EQ(ReadBytes(bytes).Status, PeVersionStatus::NoVersion) << bytes.size();
}

// However a file is cut short, the reader either finds the right version or none.
TEST(PeVersionReader, CutShortImagesNeverGiveAWrongVersion) {
    std::vector<std::pair<std::vector<unsigned char>, std::string>> images = {
        {TinyImage::Make(false, {{0x409, Version({9, 8, 7, 6}, {5, 4, 3, 2})}}).Bytes,
         "9.8.7.6/5.4.3.2"},
        {ReadAll(TestImage("version32.dll")), "1.2.3.4/5.6.7.8"},
        {ReadAll(TestImage("high64.exe")), "65535.0.10.9/2.0.0.65535"},
    };
    for (auto& [bytes, expected] : images) {
        ASSERT_FALSE(bytes.empty());
        EXPECT_EQ(Describe(ReadBytes(bytes)), expected);
        size_t found = 0;
        for (size_t length = 0; length <= bytes.size(); ++length) {
            MemoryByteSource source(bytes.data(), length);
            const PeVersionResult r = ReadPeVersion(source);
            if (r.Status == PeVersionStatus::Found) {
                ASSERT_EQ(Describe(r), expected) << "cut at " << length;
                ++found;
            } else {
                ASSERT_FALSE(r.Reason.empty());
            }
        }
        EXPECT_GT(found, 0u);
    }
}

TEST(PeVersionReader, DamagedHeadersAndResourceTreesAreReportedNotFollowed) {
    using Patch = std::function<void(TinyImage&)>;
    const auto inSection = TinyImage::InSection;
    const struct {
        const char* What;
        Patch Damage;
        PeVersionStatus Expected;
    } cases[] = {
        {"unknown optional header", [](TinyImage& t) { t.Put16(0x58, 0x107); },
         PeVersionStatus::Damaged},
        {"section table past the end", [](TinyImage& t) { t.Put16(0x46, 0xFFFF); },
         PeVersionStatus::Damaged},
        {"section data past the end",
         [](TinyImage& t) { t.Put32(t.SectionHeader + 20, 0x7FFFFFF0); }, PeVersionStatus::Damaged},
        {"resource directory outside every section",
         [](TinyImage& t) { t.Put32(t.ResourceDirectoryEntry, 0x90000000); },
         PeVersionStatus::Damaged},
        {"root lists more entries than the section holds",
         [&](TinyImage& t) { t.Put16(inSection(TinyImage::kRoot + 14), 0xFFFF); },
         PeVersionStatus::Damaged},
        {"PE header offset past the end of a new-style image",
         [](TinyImage& t) { t.Put16(0x18, 0x40), t.Put32(0x3C, 0x7FFFFFF0); },
         PeVersionStatus::Damaged},
        {"type level points back at the root",
         [&](TinyImage& t) { t.Put32(inSection(TinyImage::kRoot + 20), 0x80000000u); },
         PeVersionStatus::Damaged},
        {"identifier level points back at the root",
         [&](TinyImage& t) { t.Put32(inSection(TinyImage::kTypeDirectory + 20), 0x80000000u); },
         PeVersionStatus::Damaged},
        {"language entry points at its own directory",
         [&](TinyImage& t) {
             t.Put32(inSection(TinyImage::kNameDirectory + 20),
                     0x80000000u | TinyImage::kNameDirectory);
         },
         PeVersionStatus::Damaged},
        {"type entry is data, not a directory",
         [&](TinyImage& t) {
             t.Put32(inSection(TinyImage::kRoot + 20), TinyImage::kTypeDirectory);
         },
         PeVersionStatus::Damaged},
        {"no language at all",
         [&](TinyImage& t) { t.Put16(inSection(TinyImage::kNameDirectory + 14), 0); },
         PeVersionStatus::Damaged},
        {"version data outside the image",
         [&](TinyImage& t) { t.Put32(inSection(t.FirstDataEntry), 0xFFFFFFF0u); },
         PeVersionStatus::Damaged},
        {"version data running over the section's end",
         [&](TinyImage& t) {
             t.Put32(inSection(t.FirstDataEntry),
                     static_cast<uint32_t>(TinyImage::kSectionRva + t.Bytes.size() - 0x200 - 40));
         },
         PeVersionStatus::Damaged},
        {"version resource smaller than its fixed block",
         [&](TinyImage& t) { t.Put32(inSection(t.FirstDataEntry + 4), 60); },
         PeVersionStatus::Damaged},
        {"wrong key", [&](TinyImage& t) { t.Put16(inSection(t.FirstVersionBlock + 6), 'X'); },
         PeVersionStatus::Damaged},
        {"wrong signature",
         [&](TinyImage& t) { t.Put32(inSection(t.FirstVersionBlock + 40), 0xFEEF04BE); },
         PeVersionStatus::Damaged},
        {"block length too small",
         [&](TinyImage& t) { t.Put16(inSection(t.FirstVersionBlock), 40); },
         PeVersionStatus::Damaged},
        {"no fixed block", [&](TinyImage& t) { t.Put16(inSection(t.FirstVersionBlock + 2), 0); },
         PeVersionStatus::NoVersion},
        {"no version identifier 1",
         [&](TinyImage& t) { t.Put32(inSection(TinyImage::kTypeDirectory + 16), 2); },
         PeVersionStatus::NoVersion},
        {"optional header too short for the resource directory",
         [](TinyImage& t) { t.Put16(0x54, 96); }, PeVersionStatus::NoVersion},
    };
    for (const auto& c : cases) {
        TinyImage image = TinyImage::Make(true, {{0x409, Version({1, 2, 3, 4}, {1, 2, 3, 4})}});
        c.Damage(image);
        const PeVersionResult r = ReadBytes(image.Bytes);
        EXPECT_EQ(r.Status, c.Expected) << c.What << ": " << Describe(r);
        EXPECT_FALSE(r.Reason.empty()) << c.What;
    }
}

TEST(PeVersionReader, BytesPastRawDataReadAsTheLoaderMapsThem) {
    // A section whose virtual size exceeds its raw data: the version block starts in the zeros
    // the loader adds, so its key cannot match.
    TinyImage image = TinyImage::Make(true, {{0x409, Version({1, 2, 3, 4}, {1, 2, 3, 4})}});
    image.Put32(image.SectionHeader + 16, static_cast<uint32_t>(image.FirstVersionBlock));
    image.Put32(image.SectionHeader + 8, 0x10000);
    EXPECT_EQ(Describe(ReadBytes(image.Bytes)),
              "damaged: the version resource does not start with VS_VERSION_INFO");
}
