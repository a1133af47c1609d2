#pragma once

#include "BenchCases.h"

#include <cstddef>
#include <map>
#include <ostream>
#include <string>
#include <vector>

// Nanoseconds per call, by implementation ("library", "reference", "hyperscan"), then by case.
using TimingTable = std::map<std::string, std::map<std::string, double>>;

struct LoadFigures {
    double loadUnloadMicros = 0;
    std::size_t imageBytes = 0;
    std::size_t scanTableBytes = 0;
    long heapBytesAtLoad = -1; // -1: not measured on this platform
};

// The comparison table (ratios between implementations measured in the same run), the
// figures against their targets, and what loading the library costs.
void PrintReport(std::ostream& out, const std::string& title, const std::vector<BenchCase>& cases,
                 const TimingTable& ns, const LoadFigures& load);
