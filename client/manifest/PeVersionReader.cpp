#include "manifest/PeVersionReader.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace manifest {

namespace {

constexpr uint32_t kResourceTypeVersion = 16;
constexpr uint32_t kVersionInfoId = 1;
constexpr uint32_t kSubdirectoryFlag = 0x80000000u;
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BDu;
// Where the fixed block starts: 6 bytes of lengths and type, "VS_VERSION_INFO" with its
// terminator in UTF-16 (32 bytes), 2 bytes of padding to a 4-byte boundary.
constexpr size_t kFixedInfoOffset = 40;
constexpr size_t kFixedInfoSize = 52;
constexpr size_t kVersionHeadSize = kFixedInfoOffset + kFixedInfoSize;

// The order in which the resource loader of a Chinese Windows picks among languages: neutral,
// the thread's and user's language (zh-CN), the primary language neutral and default (which is
// zh-TW), English (US); failing all, the first entry.
constexpr uint32_t kLanguageOrder[] = {0x0000, 0x0804, 0x0004, 0x0404, 0x0409};

uint16_t Le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

PeVersionResult Result(PeVersionStatus status, std::string reason) {
    PeVersionResult result;
    result.Status = status;
    result.Reason = std::move(reason);
    return result;
}
PeVersionResult NoVersion(std::string reason) {
    return Result(PeVersionStatus::NoVersion, std::move(reason));
}
PeVersionResult Damaged(std::string reason) {
    return Result(PeVersionStatus::Damaged, std::move(reason));
}

struct Section {
    uint32_t VirtualAddress;
    uint32_t VirtualSize;
    uint32_t RawSize;
    uint32_t RawOffset;
};

// The image as the loader would lay it out, read piecewise through relative virtual addresses.
class MappedImage {
public:
    MappedImage(ByteSource& source, std::vector<Section> sections)
        : source_(source), sections_(std::move(sections)) {}

    // Whether `length` bytes at `rva` lie within one section, so that a claimed size can be
    // checked before anything is allocated for it.
    bool Holds(uint64_t rva, uint64_t length) const { return Find(rva, length) != nullptr; }

    // `length` bytes at `rva`, all within one section: the file's bytes, then the zeros the
    // loader puts where a section's virtual size exceeds its raw data.
    bool Read(uint64_t rva, void* buffer, size_t length) {
        const Section* section = Find(rva, length);
        if (!section)
            return false;
        const uint64_t start = rva - section->VirtualAddress;
        const uint64_t fromFile =
            start < section->RawSize ? std::min<uint64_t>(length, section->RawSize - start) : 0;
        if (fromFile != 0 && !source_.ReadAt(uint64_t{section->RawOffset} + start, buffer,
                                             static_cast<size_t>(fromFile)))
            return false;
        std::memset(static_cast<unsigned char*>(buffer) + fromFile, 0,
                    length - static_cast<size_t>(fromFile));
        return true;
    }

private:
    const Section* Find(uint64_t rva, uint64_t length) const {
        for (const Section& s : sections_) {
            const uint64_t extent = std::max(s.VirtualSize, s.RawSize);
            if (rva < s.VirtualAddress || rva - s.VirtualAddress >= extent)
                continue;
            return length <= extent - (rva - s.VirtualAddress) ? &s : nullptr;
        }
        return nullptr;
    }

    ByteSource& source_;
    std::vector<Section> sections_;
};

struct DirectoryEntry {
    uint32_t Name;   // an identifier, or a name's offset with the top bit set
    uint32_t Target; // a subdirectory's offset with the top bit set, or a data entry's offset
};

// The entries of the resource directory at `offset` from the resource root.
bool ReadDirectory(MappedImage& image, uint32_t rootRva, uint32_t offset,
                   std::vector<DirectoryEntry>& entries) {
    const uint64_t rva = uint64_t{rootRva} + (offset & ~kSubdirectoryFlag);
    unsigned char head[16];
    if (!image.Read(rva, head, sizeof head))
        return false;
    const size_t count = size_t{Le16(head + 12)} + Le16(head + 14);
    if (!image.Holds(rva + sizeof head, count * 8))
        return false;
    std::vector<unsigned char> raw(count * 8);
    if (count != 0 && !image.Read(rva + sizeof head, raw.data(), raw.size()))
        return false;
    entries.resize(count);
    for (size_t i = 0; i < count; ++i)
        entries[i] = {Le32(&raw[i * 8]), Le32(&raw[i * 8 + 4])};
    return true;
}

const DirectoryEntry* FindId(const std::vector<DirectoryEntry>& entries, uint32_t id) {
    for (const DirectoryEntry& e : entries) {
        if (e.Name == id)
            return &e;
    }
    return nullptr;
}

} // namespace

PeVersionResult ReadPeVersion(ByteSource& source) {
    unsigned char dos[64];
    if (!source.ReadAt(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z')
        return NoVersion("not an executable image");
    const uint64_t peOffset = Le32(dos + 0x3C);
    unsigned char signature[4];
    // A DOS program or a 16-bit Windows image has no PE signature there; neither is damaged.
    // But a header that marks a new-style image (its relocation table at 0x40, where DOS
    // programs never put it) and points past the file's end is a damaged Windows image.
    if (!source.ReadAt(peOffset, signature, sizeof signature)) {
        if (Le16(dos + 0x18) >= 0x40 && peOffset >= source.Size())
            return Damaged("the PE header offset points past the end of the file");
        return NoVersion("not a 32-bit or 64-bit Windows image");
    }
    if (std::memcmp(signature, "PE\0\0", 4) != 0)
        return NoVersion("not a 32-bit or 64-bit Windows image");

    unsigned char fileHeader[20];
    if (!source.ReadAt(peOffset + 4, fileHeader, sizeof fileHeader))
        return Damaged("the file ends inside the PE file header");
    const uint16_t sectionCount = Le16(fileHeader + 2);
    const uint16_t optionalSize = Le16(fileHeader + 16);
    const uint64_t optionalOffset = peOffset + 24;

    unsigned char magic[2];
    if (optionalSize < sizeof magic || !source.ReadAt(optionalOffset, magic, sizeof magic))
        return Damaged("the PE optional header is missing");
    size_t directoryCountAt, directoriesAt;
    switch (Le16(magic)) {
    case 0x10B: // PE32
        directoryCountAt = 92, directoriesAt = 96;
        break;
    case 0x20B: // PE32+
        directoryCountAt = 108, directoriesAt = 112;
        break;
    default:
        return Damaged("unknown kind of PE optional header");
    }
    const size_t resourceDirectoryAt = directoriesAt + 2 * 8;
    if (optionalSize < resourceDirectoryAt + 8)
        return NoVersion("no resources");
    unsigned char count[4], directory[8];
    if (!source.ReadAt(optionalOffset + directoryCountAt, count, sizeof count) ||
        !source.ReadAt(optionalOffset + resourceDirectoryAt, directory, sizeof directory))
        return Damaged("the file ends inside the PE optional header");
    const uint32_t rootRva = Le32(directory);
    if (Le32(count) < 3 || rootRva == 0 || Le32(directory + 4) == 0)
        return NoVersion("no resources");

    const uint64_t tableOffset = optionalOffset + optionalSize;
    if (tableOffset > source.Size() || uint64_t{sectionCount} * 40 > source.Size() - tableOffset)
        return Damaged("the file ends inside the section table");
    std::vector<unsigned char> table(size_t{sectionCount} * 40);
    if (!table.empty() && !source.ReadAt(tableOffset, table.data(), table.size()))
        return Damaged("the file ends inside the section table");
    std::vector<Section> sections(sectionCount);
    for (size_t i = 0; i < sectionCount; ++i) {
        const unsigned char* s = &table[i * 40];
        sections[i] = {Le32(s + 12), Le32(s + 8), Le32(s + 16), Le32(s + 20)};
    }
    MappedImage image(source, std::move(sections));

    // Type, identifier, language: the tree is walked exactly three levels deep, so an entry
    // that points back up can only be a wrong kind of entry, never a loop.
    std::vector<DirectoryEntry> entries;
    if (!ReadDirectory(image, rootRva, 0, entries))
        return Damaged("the resource directory lies outside the image");
    const DirectoryEntry* type = FindId(entries, kResourceTypeVersion);
    if (!type)
        return NoVersion("no version resource");
    if (!(type->Target & kSubdirectoryFlag))
        return Damaged("the resource tree is malformed (version type without identifiers)");
    // A level that leads back to the root would read the root's entries as identifiers and
    // find no version, hiding the damage.
    if ((type->Target & ~kSubdirectoryFlag) == 0)
        return Damaged("the resource tree points back into itself");
    const uint32_t typeTarget = type->Target; // `entries` is read anew below
    if (!ReadDirectory(image, rootRva, typeTarget, entries))
        return Damaged("a resource directory lies outside the image");
    const DirectoryEntry* id = FindId(entries, kVersionInfoId);
    if (!id)
        return NoVersion("no version resource");
    if (!(id->Target & kSubdirectoryFlag))
        return Damaged("the resource tree is malformed (version identifier without languages)");
    if ((id->Target & ~kSubdirectoryFlag) == 0 || id->Target == typeTarget)
        return Damaged("the resource tree points back into itself");
    if (!ReadDirectory(image, rootRva, id->Target, entries))
        return Damaged("a resource directory lies outside the image");
    if (entries.empty())
        return Damaged("the version resource lists no language");
    const size_t languageCount = entries.size();
    const DirectoryEntry* language = nullptr;
    for (uint32_t candidate : kLanguageOrder) {
        if ((language = FindId(entries, candidate)) != nullptr)
            break;
    }
    if (!language)
        language = &entries.front();
    if (language->Target & kSubdirectoryFlag)
        return Damaged("the resource tree is malformed (more than three levels)");

    unsigned char dataEntry[16];
    if (!image.Read(uint64_t{rootRva} + language->Target, dataEntry, sizeof dataEntry))
        return Damaged("the version resource's entry lies outside the image");
    const uint32_t dataRva = Le32(dataEntry);
    const uint32_t dataSize = Le32(dataEntry + 4);
    if (dataSize < kVersionHeadSize)
        return Damaged("the version resource is too small");
    unsigned char head[kVersionHeadSize];
    if (!image.Read(dataRva, head, sizeof head))
        return Damaged("the version resource lies outside the file or its sections");

    static const char16_t kKey[] = u"VS_VERSION_INFO";
    for (size_t i = 0; i < sizeof kKey / sizeof kKey[0]; ++i) {
        if (Le16(head + 6 + 2 * i) != kKey[i])
            return Damaged("the version resource does not start with VS_VERSION_INFO");
    }
    if (Le16(head) < kVersionHeadSize)
        return Damaged("the version resource's length is too small");
    if (Le16(head + 2) < kFixedInfoSize)
        return NoVersion("the version resource has no fixed version block");
    const unsigned char* fixed = head + kFixedInfoOffset;
    if (Le32(fixed) != kFixedInfoSignature)
        return Damaged("the fixed version block has a wrong signature");

    PeVersionResult result;
    result.Status = PeVersionStatus::Found;
    result.Languages = languageCount;
    const uint32_t fileMs = Le32(fixed + 8), fileLs = Le32(fixed + 12);
    const uint32_t productMs = Le32(fixed + 16), productLs = Le32(fixed + 20);
    result.Version.File = {uint16_t(fileMs >> 16), uint16_t(fileMs), uint16_t(fileLs >> 16),
                           uint16_t(fileLs)};
    result.Version.Product = {uint16_t(productMs >> 16), uint16_t(productMs),
                              uint16_t(productLs >> 16), uint16_t(productLs)};
    return result;
}

std::string FormatVersion(const FourPartVersion& parts) {
    return std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." +
           std::to_string(parts[2]) + "." + std::to_string(parts[3]);
}

} // namespace manifest
