#pragma once

// The banned-word table, compiled in as read-only data. The source is words.txt (UTF-8, one
// entry per line); the build converts it to GBK and generates the definition of kWordTable, so
// nothing is allocated or converted when the library loads.

namespace taboolex {

constexpr int kGroupCount = 6;
constexpr unsigned kGroupSizes[kGroupCount] = {1217, 1500, 1500, 1500, 1508, 1219};
constexpr unsigned kEntryCount = 8444;

// GBK bytes, NUL-terminated; length excludes the NUL.
struct WordEntry {
    const char* text;
    unsigned length;
};

// Search order: group 1 first, each group from index 0 upwards. Groups follow each other without
// gaps, so group g starts at the sum of the sizes of the groups before it.
extern const WordEntry kWordTable[kEntryCount];

} // namespace taboolex
