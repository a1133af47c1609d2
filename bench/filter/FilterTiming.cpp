// The filter library, as loaded from Taboolex.dll, against the literal scan on the same texts
// in the same run: the Windows counterpart of the native Google Benchmark program (which the
// Windows build does not have), to be run under Wine through scripts/bench-filter.sh.

#include "BannedWordScan.h"
#include "BenchCases.h"
#include "LoadedLibrary.h"
#include "ReferenceScan.h"
#include "Report.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>

namespace {

volatile bool g_sink;

// The fastest of many short rounds: on a shared machine a round that the scheduler or a busy
// neighbour interrupts is simply slower, so the minimum is the figure that measures the code.
template <typename F> double NanosPerCall(F&& call, double secondsPerCase) {
    using Clock = std::chrono::steady_clock;
    const auto timeRound = [&](long iterations) {
        const auto start = Clock::now();
        for (long i = 0; i < iterations; ++i) {
            g_sink = call();
        }
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    constexpr double kRoundSeconds = 0.002;
    long iterations = 1;
    double seconds = timeRound(iterations);
    while (seconds < kRoundSeconds) {
        iterations *= 2;
        seconds = timeRound(iterations);
    }
    const int rounds = std::max(5, static_cast<int>(secondsPerCase / seconds));
    double best = seconds / iterations;
    for (int round = 0; round < rounds; ++round) {
        best = std::min(best, timeRound(iterations) / iterations);
    }
    return best * 1e9;
}

} // namespace

int main(int argc, char** argv) {
    const double secondsPerCase = argc > 1 ? std::atof(argv[1]) : 0.1;
    try {
        const std::string path = "Taboolex.dll";
        LoadFigures load;
        load.loadUnloadMicros = LoadedLibrary::LoadUnloadMicros(path, 200);
        load.scanTableBytes = taboolex::ScanTableBytes();
        const LoadedLibrary library(path);
        load.imageBytes = library.ImageBytes();
        const LoadedLibrary::TestFunction test = library.Test();

        const std::vector<BenchCase> cases = MakeBenchCases();
        TimingTable ns;
        for (const BenchCase& c : cases) {
            if (test(c.text.c_str()) != c.dirty) {
                std::cerr << "library gives the wrong answer for " << c.name << "\n";
                return 1;
            }
            const char* text = c.text.c_str();
            ns["library"][c.name] = NanosPerCall([&] { return test(text); }, secondsPerCase);
            ns["reference"][c.name] =
                NanosPerCall([&] { return taboolex::ReferenceContains(text); }, secondsPerCase);
        }
        PrintReport(std::cout, "Taboolex, Windows build (Taboolex.dll)", cases, ns, load);
    } catch (const std::exception& e) {
        std::cerr << "filter_timing: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
