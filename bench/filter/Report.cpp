#include "Report.h"

#include <cstdio>

namespace {

std::string Format(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), format, value);
    return buffer;
}

std::string Duration(double ns) {
    if (ns < 1e3) {
        return Format("%.1f ns", ns);
    }
    if (ns < 1e6) {
        return Format("%.2f us", ns / 1e3);
    }
    return Format("%.2f ms", ns / 1e6);
}

const double* Find(const TimingTable& ns, const std::string& impl, const std::string& name) {
    const auto i = ns.find(impl);
    if (i == ns.end()) {
        return nullptr;
    }
    const auto j = i->second.find(name);
    return j == i->second.end() ? nullptr : &j->second;
}

std::string Pad(std::string s, size_t width) {
    if (s.size() < width) {
        s.insert(0, width - s.size(), ' ');
    }
    return s;
}

} // namespace

void PrintReport(std::ostream& out, const std::string& title, const std::vector<BenchCase>& cases,
                 const TimingTable& ns, const LoadFigures& load) {
    const bool hyperscan = ns.count("hyperscan") != 0;
    out << "\n" << title << "\n\n";
    out << "case                   bytes     library     GB/s   reference   ref/lib";
    if (hyperscan) {
        out << "   hyperscan  lib/hs";
    }
    out << "\n";
    for (const BenchCase& c : cases) {
        const double* lib = Find(ns, "library", c.name);
        const double* ref = Find(ns, "reference", c.name);
        const double* hs = Find(ns, "hyperscan", c.name);
        std::string line = c.name;
        line.resize(20, ' ');
        line += Pad(std::to_string(c.text.size()), 7);
        line += Pad(lib ? Duration(*lib) : "-", 12);
        line += Pad(lib ? Format("%.2f", c.text.size() / *lib) : "-", 9);
        line += Pad(ref ? Duration(*ref) : "-", 12);
        line += Pad(lib && ref ? Format("%.0fx", *ref / *lib) : "-", 10);
        if (hyperscan) {
            line += Pad(hs ? Duration(*hs) : "-", 12);
            line += Pad(lib && hs ? Format("%.2f", *lib / *hs) : "-", 8);
        }
        out << line << "\n";
    }
    if (ns.count("find") != 0) {
        out << "\nThe calls with a length: TaboolexFind on the GBK text (default reading), and on "
               "its UTF-8 form in the strict reading\n\n";
        out << "case                   bytes        find     GB/s  strict-utf8\n";
        for (const BenchCase& c : cases) {
            const double* find = Find(ns, "find", c.name);
            const double* strict = Find(ns, "strict-utf8", c.name);
            std::string line = c.name;
            line.resize(20, ' ');
            line += Pad(std::to_string(c.text.size()), 7);
            line += Pad(find ? Duration(*find) : "-", 12);
            line += Pad(find ? Format("%.2f", c.text.size() / *find) : "-", 9);
            line += Pad(strict ? Duration(*strict) : "-", 13);
            out << line << "\n";
        }
    }

    const double* lib64 = Find(ns, "library", "clean/64");
    const double* ref64 = Find(ns, "reference", "clean/64");
    const double* lib4k = Find(ns, "library", "clean/4096");
    out << "\nTargets:\n";
    if (lib64 && ref64) {
        out << "  64-byte clean text: library " << Duration(*lib64) << " per call (target under "
            << "100 ns), " << Format("%.0f", *ref64 / *lib64)
            << " times faster than the literal scan (target at least 1000)\n";
    }
    if (lib4k) {
        out << "  4096-byte clean text: " << Format("%.2f", 4096 / *lib4k)
            << " GB/s (target at least 1 GB/s)\n";
    }
    out << "\nLoading:\n";
    out << "  load + unload: " << Format("%.1f", load.loadUnloadMicros) << " us\n";
    out << "  image in memory: " << load.imageBytes / 1024 << " KiB, of which the automaton "
        << "and character classes (read-only data): " << load.scanTableBytes / 1024 << " KiB\n";
    if (load.heapBytesAtLoad >= 0) {
        out << "  heap taken while loading (the dynamic loader's own records included): "
            << load.heapBytesAtLoad << " bytes\n";
    }
    out << "  nothing is built or allocated by the library itself when it loads or per call\n";
}
