// taboolex-check [--utf8] [--strict] [FILE|-]...
//
// Reads lines of text from the files (or standard input, also named "-") and prints each line
// that holds a banned word, as "LINE: text", or "FILE:LINE: text" when several inputs are given.
// Lines are GBK, or UTF-8 with --utf8 (tested as UTF-8; a character GBK lacks never matches but
// hides nothing else); --strict tests with the library's strict reading. Exit status: 0 when no
// line holds a banned word, 1 when some line does, 2 when an input could not be read or a line
// is not UTF-8 (such a line is still tested).

#include "Taboolex.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace {

const char* const kUsage =
    "usage: taboolex-check [--utf8] [--strict] [FILE|-]...\n"
    "Prints the lines of the files (or of standard input, \"-\") that hold a banned word.\n"
    "  --utf8     the text is UTF-8; default GBK\n"
    "  --strict   also skip tabs, full-width spaces and punctuation inside words, and fold\n"
    "             letter case and full-width letters\n"
    "Exit status: 0 no banned word, 1 some line holds one, 2 an input could not be read.\n";

struct Options {
    unsigned flags = TABOOLEX_GBK;
    std::vector<std::string> files;
};

// Whether the bytes are well-formed UTF-8, by the rules the library reads UTF-8 with: no
// overlong form, no surrogate, nothing beyond U+10FFFF.
bool IsUtf8(const std::string& s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* const end = p + s.size();
    while (p < end) {
        const unsigned b = *p;
        if (b < 0x80) {
            ++p;
            continue;
        }
        // The bytes that follow the first, and the range the second must fall in.
        std::ptrdiff_t more = 0;
        unsigned low = 0x80;
        unsigned high = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            more = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            more = 2;
            low = b == 0xE0 ? 0xA0 : low;
            high = b == 0xED ? 0x9F : high;
        } else if (b >= 0xF0 && b <= 0xF4) {
            more = 3;
            low = b == 0xF0 ? 0x90 : low;
            high = b == 0xF4 ? 0x8F : high;
        } else {
            return false;
        }
        if (end - p <= more || p[1] < low || p[1] > high) {
            return false;
        }
        for (std::ptrdiff_t i = 2; i <= more; ++i) {
            if ((p[i] & 0xC0) != 0x80) {
                return false;
            }
        }
        p += more + 1;
    }
    return true;
}

// 0 clean, 1 dirty, 2 a line is not UTF-8 (it is tested all the same).
int CheckStream(std::istream& in, const std::string& name, bool showName, unsigned flags) {
    int status = 0;
    std::string line;
    for (unsigned long number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if ((flags & TABOOLEX_UTF8) && !IsUtf8(line)) {
            std::cerr << "taboolex-check: " << name << ":" << number << ": not UTF-8\n";
            status = 2;
        }
        // The line's length goes with it, so a NUL inside is an ordinary character.
        if (TaboolexFind(line.data(), line.size(), flags, nullptr) == TABOOLEX_FOUND) {
            if (showName) {
                std::cout << name << ":";
            }
            std::cout << number << ": " << line << "\n";
            if (status == 0) {
                status = 1;
            }
        }
    }
    if (in.bad()) {
        std::cerr << "taboolex-check: " << name << ": read error\n";
        status = 2;
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
#if defined(_WIN32)
    // The bytes are the text: no newline translation on the way in or out.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::ios::sync_with_stdio(false);
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--utf8") {
            options.flags |= TABOOLEX_UTF8;
        } else if (arg == "--strict") {
            options.flags |= TABOOLEX_STRICT;
        } else if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::cerr << "taboolex-check: unknown option " << arg << "\n" << kUsage;
            return 2;
        } else {
            options.files.push_back(arg);
        }
    }
    if (options.files.empty()) {
        options.files.push_back("-");
    }

    int status = 0;
    auto merge = [&status](int s) { status = s == 2 || status == 2 ? 2 : (s | status); };
    const bool showNames = options.files.size() > 1;
    for (const std::string& file : options.files) {
        if (file == "-") {
            merge(CheckStream(std::cin, "-", showNames, options.flags));
            continue;
        }
        std::error_code error;
        if (std::filesystem::is_directory(file, error)) {
            std::cerr << "taboolex-check: " << file << " is a folder\n";
            merge(2);
            continue;
        }
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            std::cerr << "taboolex-check: cannot open " << file << ": " << std::strerror(errno)
                      << "\n";
            merge(2);
            continue;
        }
        merge(CheckStream(in, file, showNames, options.flags));
    }
    std::cout.flush();
    return status;
}
