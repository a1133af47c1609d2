#pragma once
// A minimal PE image built byte by byte: headers, one resource section, a version resource in
// one or more languages. The tests know where every structure lies, so they can damage each one.

#include "manifest/PeVersionReader.h"

#include <cstdint>
#include <utility>
#include <vector>

struct TinyImage {
    static constexpr uint32_t kSectionRva = 0x1000;
    static constexpr size_t kSectionOffset = 0x200;
    // Offsets inside the resource section.
    static constexpr size_t kRoot = 0x00, kTypeDirectory = 0x18, kNameDirectory = 0x30;

    std::vector<unsigned char> Bytes;
    size_t SectionHeader = 0;          // file offset of the section's header
    size_t ResourceDirectoryEntry = 0; // file offset of the resource directory's RVA and size
    size_t FirstDataEntry = 0;         // offset inside the section
    size_t FirstVersionBlock = 0;      // offset inside the section

    void Put16(size_t at, uint16_t v) {
        Bytes.at(at) = static_cast<unsigned char>(v);
        Bytes.at(at + 1) = static_cast<unsigned char>(v >> 8);
    }
    void Put32(size_t at, uint32_t v) {
        Put16(at, static_cast<uint16_t>(v));
        Put16(at + 2, static_cast<uint16_t>(v >> 16));
    }
    // An offset inside the resource section as a file offset.
    static size_t InSection(size_t offset) { return kSectionOffset + offset; }

    // `versions`: one version resource per language, in the order the directory lists them.
    static TinyImage Make(bool pe32Plus,
                          const std::vector<std::pair<uint16_t, manifest::PeVersion>>& versions) {
        TinyImage image;
        const size_t count = versions.size();
        const size_t dataEntries = kNameDirectory + 16 + 8 * count;
        const size_t blocks = (dataEntries + 16 * count + 3) & ~size_t{3};
        const size_t sectionSize = blocks + 92 * count;
        image.Bytes.assign(kSectionOffset + sectionSize, 0);
        image.FirstDataEntry = dataEntries;
        image.FirstVersionBlock = blocks;

        image.Bytes[0] = 'M', image.Bytes[1] = 'Z';
        image.Put32(0x3C, 0x40);
        image.Bytes[0x40] = 'P', image.Bytes[0x41] = 'E';
        const size_t fileHeader = 0x44, optional = 0x58;
        const uint16_t optionalSize = pe32Plus ? 240 : 224;
        image.Put16(fileHeader, pe32Plus ? 0x8664 : 0x14C);
        image.Put16(fileHeader + 2, 1);
        image.Put16(fileHeader + 16, optionalSize);
        image.Put16(optional, pe32Plus ? 0x20B : 0x10B);
        image.Put32(optional + (pe32Plus ? 108 : 92), 16);
        image.ResourceDirectoryEntry = optional + (pe32Plus ? 112 : 96) + 16;
        image.Put32(image.ResourceDirectoryEntry, kSectionRva);
        image.Put32(image.ResourceDirectoryEntry + 4, static_cast<uint32_t>(sectionSize));
        image.SectionHeader = optional + optionalSize;
        image.Put32(image.SectionHeader + 8, static_cast<uint32_t>(sectionSize));
        image.Put32(image.SectionHeader + 12, kSectionRva);
        image.Put32(image.SectionHeader + 16, static_cast<uint32_t>(sectionSize));
        image.Put32(image.SectionHeader + 20, kSectionOffset);

        image.Put16(InSection(kRoot + 14), 1);
        image.Put32(InSection(kRoot + 16), 16);
        image.Put32(InSection(kRoot + 20), 0x80000000u | kTypeDirectory);
        image.Put16(InSection(kTypeDirectory + 14), 1);
        image.Put32(InSection(kTypeDirectory + 16), 1);
        image.Put32(InSection(kTypeDirectory + 20), 0x80000000u | kNameDirectory);
        image.Put16(InSection(kNameDirectory + 14), static_cast<uint16_t>(count));
        for (size_t i = 0; i < count; ++i) {
            const size_t entry = dataEntries + 16 * i, block = blocks + 92 * i;
            image.Put32(InSection(kNameDirectory + 16 + 8 * i), versions[i].first);
            image.Put32(InSection(kNameDirectory + 20 + 8 * i), static_cast<uint32_t>(entry));
            image.Put32(InSection(entry), static_cast<uint32_t>(kSectionRva + block));
            image.Put32(InSection(entry + 4), 92);
            image.Put16(InSection(block), 92);
            image.Put16(InSection(block + 2), 52);
            const char16_t key[] = u"VS_VERSION_INFO";
            for (size_t k = 0; k < 16; ++k)
                image.Put16(InSection(block + 6 + 2 * k), key[k]);
            const size_t fixed = block + 40;
            const manifest::PeVersion& v = versions[i].second;
            image.Put32(InSection(fixed), 0xFEEF04BDu);
            image.Put32(InSection(fixed + 4), 0x00010000u);
            image.Put32(InSection(fixed + 8), (uint32_t{v.File[0]} << 16) | v.File[1]);
            image.Put32(InSection(fixed + 12), (uint32_t{v.File[2]} << 16) | v.File[3]);
            image.Put32(InSection(fixed + 16), (uint32_t{v.Product[0]} << 16) | v.Product[1]);
            image.Put32(InSection(fixed + 20), (uint32_t{v.Product[2]} << 16) | v.Product[3]);
        }
        return image;
    }
};
