// The filter library, as loaded from libtaboolex.so, against the literal scan and Hyperscan on
// the same texts in the same run. Run through scripts/bench-filter.sh (an optimised build).
// Google Benchmark options apply, e.g. --benchmark_min_time=0.1 or --benchmark_filter=clean.

#include "BannedWordScan.h"
#include "BenchCases.h"
#include "LoadedLibrary.h"
#include "ReferenceScan.h"
#include "Report.h"
#include "WordTable.h"

#include <benchmark/benchmark.h>

#if defined(HAVE_HYPERSCAN)
#include <hs.h>
#endif

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

// Each benchmark runs several times; the table takes the fastest repetition's CPU time. The
// machines this runs on are shared, and a repetition that a busy neighbour slowed down
// measures the neighbour.
constexpr int kRepetitions = 10;

double Fastest(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

// Keeps the "min" aggregate (or, without repetitions, the single run) per benchmark name, in
// nanoseconds of CPU time per iteration.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) {
                continue;
            }
            const std::string name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "min") {
                times[name] = run.GetAdjustedCPUTime();
            } else if (run.run_type == Run::RT_Iteration && !times.count(name)) {
                times[name] = run.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

#if defined(HAVE_HYPERSCAN)
// Hyperscan over the same table, scanning texts normalised beforehand (its share of the work
// is the search alone). It knows nothing of GBK character boundaries, so it may report a word
// straddling two characters; it stands here for how fast a search can be, not for the answer.
class HyperscanFilter {
public:
    HyperscanFilter() {
        std::set<std::string> unique;
        for (const taboolex::WordEntry& e : taboolex::kWordTable) {
            const std::string text(e.text, e.length);
            if (text.find(' ') == std::string::npos) {
                unique.insert(text);
            }
        }
        std::vector<const char*> expressions;
        std::vector<size_t> lengths;
        std::vector<unsigned> flags;
        std::vector<unsigned> ids;
        for (const std::string& w : unique) {
            expressions.push_back(w.data());
            lengths.push_back(w.size());
            flags.push_back(HS_FLAG_SINGLEMATCH);
            ids.push_back(static_cast<unsigned>(ids.size()));
        }
        hs_compile_error_t* error = nullptr;
        if (hs_compile_lit_multi(expressions.data(), flags.data(), ids.data(), lengths.data(),
                                 static_cast<unsigned>(expressions.size()), HS_MODE_BLOCK, nullptr,
                                 &database_, &error) != HS_SUCCESS) {
            const std::string message = error ? error->message : "unknown error";
            hs_free_compile_error(error);
            throw std::runtime_error("Hyperscan: " + message);
        }
        if (hs_alloc_scratch(database_, &scratch_) != HS_SUCCESS) {
            throw std::runtime_error("Hyperscan: no scratch space");
        }
    }
    ~HyperscanFilter() {
        hs_free_scratch(scratch_);
        hs_free_database(database_);
    }
    HyperscanFilter(const HyperscanFilter&) = delete;
    HyperscanFilter& operator=(const HyperscanFilter&) = delete;

    bool Contains(const std::string& normalised) const {
        bool found = false;
        hs_scan(
            database_, normalised.data(), static_cast<unsigned>(normalised.size()), 0, scratch_,
            [](unsigned, unsigned long long, unsigned long long, unsigned, void* context) {
                *static_cast<bool*>(context) = true;
                return 1; // stop at the first match
            },
            &found);
        return found;
    }

    size_t DatabaseBytes() const {
        size_t size = 0;
        hs_database_size(database_, &size);
        return size;
    }

private:
    hs_database_t* database_ = nullptr;
    hs_scratch_t* scratch_ = nullptr;
};
#endif

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    try {
        const std::string path = TABOOLEX_LIBRARY_PATH;
        LoadFigures load;
        load.heapBytesAtLoad = LoadedLibrary::HeapBytesAtLoad(path);
        load.loadUnloadMicros = LoadedLibrary::LoadUnloadMicros(path, 200);
        load.scanTableBytes = taboolex::ScanTableBytes();
        const LoadedLibrary library(path);
        load.imageBytes = library.ImageBytes();
        const LoadedLibrary::TestFunction test = library.Test();

        const std::vector<BenchCase> cases = MakeBenchCases();
        for (const BenchCase& c : cases) {
            if (test(c.text.c_str()) != c.dirty) {
                std::cerr << "library gives the wrong answer for " << c.name << "\n";
                return 1;
            }
        }
#if defined(HAVE_HYPERSCAN)
        const HyperscanFilter hyperscan;
        std::vector<std::string> normalised;
        for (const BenchCase& c : cases) {
            normalised.push_back(taboolex::NormaliseText(c.text.c_str()));
        }
#endif
        const auto measured = [](benchmark::internal::Benchmark* b) {
            b->Repetitions(kRepetitions)->ComputeStatistics("min", Fastest)->ReportAggregatesOnly();
        };
        for (size_t i = 0; i < cases.size(); ++i) {
            const BenchCase& c = cases[i];
            const char* text = c.text.c_str();
            const auto bytes = static_cast<std::int64_t>(c.text.size());
            measured(benchmark::RegisterBenchmark(
                ("library/" + c.name).c_str(), [text, bytes, test](benchmark::State& state) {
                    for (auto _ : state) {
                        benchmark::DoNotOptimize(test(text));
                    }
                    state.SetBytesProcessed(state.iterations() * bytes);
                }));
            measured(benchmark::RegisterBenchmark(
                ("reference/" + c.name).c_str(), [text, bytes](benchmark::State& state) {
                    for (auto _ : state) {
                        benchmark::DoNotOptimize(taboolex::ReferenceContains(text));
                    }
                    state.SetBytesProcessed(state.iterations() * bytes);
                }));
#if defined(HAVE_HYPERSCAN)
            const std::string& n = normalised[i];
            measured(benchmark::RegisterBenchmark(
                ("hyperscan/" + c.name).c_str(), [&n, &hyperscan, bytes](benchmark::State& state) {
                    for (auto _ : state) {
                        benchmark::DoNotOptimize(hyperscan.Contains(n));
                    }
                    state.SetBytesProcessed(state.iterations() * bytes);
                }));
#endif
        }
        CollectingReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);

        TimingTable ns;
        for (const auto& [name, time] : reporter.times) {
            const size_t slash = name.find('/');
            ns[name.substr(0, slash)][name.substr(slash + 1)] = time;
        }
        PrintReport(std::cout, "Taboolex, native build (libtaboolex.so)", cases, ns, load);
#if defined(HAVE_HYPERSCAN)
        std::cout << "  Hyperscan's database for the same words: "
                  << hyperscan.DatabaseBytes() / 1024 << " KiB\n";
#endif
    } catch (const std::exception& e) {
        std::cerr << "filter_benchmark: " << e.what() << "\n";
        return 1;
    }
    benchmark::Shutdown();
    return 0;
}
