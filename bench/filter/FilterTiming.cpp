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

// Best of three rounds, each long enough to drown the clock's resolution.
template <typename F> double NanosPerCall(F&& call, double secondsPerRound) {
    using Clock = std::chrono::steady_clock;
    long iterations = 1;
    for (;;) {
        const auto start = Clock::now();
        for (long i = 0; i < iterations; ++i) {
            g_sink = call();
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (seconds >= secondsPerRound / 4) {
            iterations = static_cast<long>(iterations * secondsPerRound / seconds) + 1;
            break;
        }
        iterations *= 4;
    }
    double best = 1e300;
    for (int round = 0; round < 3; ++round) {
        const auto start = Clock::now();
        for (long i = 0; i < iterations; ++i) {
            g_sink = call();
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        best = std::min(best, seconds * 1e9 / iterations);
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    const double secondsPerRound = argc > 1 ? std::atof(argv[1]) : 0.1;
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
            ns["library"][c.name] = NanosPerCall([&] { return test(text); }, secondsPerRound);
            ns["reference"][c.name] =
                NanosPerCall([&] { return taboolex::ReferenceContains(text); }, secondsPerRound);
            std::cout << c.name << " done\n" << std::flush;
        }
        PrintReport(std::cout, "Taboolex, Windows build (Taboolex.dll)", cases, ns, load);
    } catch (const std::exception& e) {
        std::cerr << "filter_timing: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
