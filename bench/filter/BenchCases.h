#pragma once

#include <string>
#include <vector>

// One text of the benchmark, GBK, with the answer it must get.
struct BenchCase {
    std::string name;
    std::string text;
    bool dirty;
};

// Chat-like clean texts of 16, 64, 256 and 4096 bytes, and 256-byte texts with a table entry
// at the start, at the end and nowhere, and with the table's first and last entries. Every
// answer is confirmed by the literal scan. Deterministic: the same texts on every run and
// platform.
std::vector<BenchCase> MakeBenchCases();
