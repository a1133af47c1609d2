// The filter library, as loaded from Taboolex.dll (or libtaboolex.so), against the literal scan
// on the same texts in the same run, with the calls a server makes (TaboolexFind on GBK, and on
// UTF-8 in the strict reading). The same loop is built for Windows, run under Wine, and
// natively, so scripts/bench-filter.sh can set the two side by side; the native build also has
// the Google Benchmark program, with Hyperscan.
//
//   filter_timing [seconds per case] [figures file]
//
// The figures file receives one line "implementation case nanoseconds" per measurement.

#include "BannedWordScan.h"
#include "BenchCases.h"
#include "publish/GbkText.h"
#include "LoadedLibrary.h"
#include "ReferenceScan.h"
#include "Report.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

namespace {

volatile int g_sink;

// The fastest of many rounds, each timing a whole batch of calls with two clock readings: on a
// shared machine a round that the scheduler or a busy neighbour interrupts is simply slower,
// so the minimum is the figure that measures the code, and no clock call lands between texts.
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
    const int rounds = std::max(10, static_cast<int>(secondsPerCase / seconds));
    double best = seconds / iterations;
    for (int round = 0; round < rounds; ++round) {
        best = std::min(best, timeRound(iterations) / iterations);
    }
    return best * 1e9;
}

#if defined(_WIN32)
const char* const kLibrary = "Taboolex.dll";
const char* const kTitle = "Taboolex, Windows build (Taboolex.dll), timing loop";
#else
const char* const kLibrary = TABOOLEX_LIBRARY_PATH;
const char* const kTitle = "Taboolex, native build (libtaboolex.so), timing loop";
#endif

} // namespace

int main(int argc, char** argv) {
    const double secondsPerCase = argc > 1 ? std::atof(argv[1]) : 0.1;
    try {
        const std::string path = kLibrary;
        LoadFigures load;
        load.loadUnloadMicros = LoadedLibrary::LoadUnloadMicros(path, 200);
        load.scanTableBytes = taboolex::ScanTableBytes();
        const LoadedLibrary library(path);
        load.imageBytes = library.ImageBytes();
        const LoadedLibrary::TestFunction test = library.Test();
        const LoadedLibrary::FindFunction find = library.Find();

        const std::vector<BenchCase> cases = MakeBenchCases();
        TimingTable ns;
        for (const BenchCase& c : cases) {
            const char* text = c.text.c_str();
            const size_t size = c.text.size();
            const std::optional<std::string> converted = publish::GbkToUtf8(c.text);
            const std::string utf8 = converted.value_or(std::string());
            if (test(text) != c.dirty ||
                (find(text, size, TABOOLEX_GBK, nullptr) == 1) != c.dirty || !converted) {
                std::cerr << "library gives the wrong answer for " << c.name << "\n";
                return 1;
            }
            ns["library"][c.name] =
                NanosPerCall([&] { return test(text) ? 1 : 0; }, secondsPerCase);
            ns["find"][c.name] = NanosPerCall(
                [&] { return find(text, size, TABOOLEX_GBK, nullptr); }, secondsPerCase);
            ns["strict-utf8"][c.name] = NanosPerCall(
                [&] {
                    return find(utf8.data(), utf8.size(), TABOOLEX_UTF8 | TABOOLEX_STRICT, nullptr);
                },
                secondsPerCase);
            ns["reference"][c.name] = NanosPerCall(
                [&] { return taboolex::ReferenceContains(text) ? 1 : 0; }, secondsPerCase);
        }
        PrintReport(std::cout, kTitle, cases, ns, load);
        if (argc > 2) {
            std::ofstream figures(argv[2]);
            for (const auto& [implementation, byCase] : ns) {
                for (const auto& [name, nanos] : byCase) {
                    figures << implementation << " " << name << " " << nanos << "\n";
                }
            }
        }
    } catch (const std::exception& e) {
        std::cerr << "filter_timing: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
