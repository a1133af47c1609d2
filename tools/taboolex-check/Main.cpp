// taboolex-check [--utf8] [FILE...]
//
// Reads lines of text from the files (or standard input) and prints each line that holds a
// banned word, as "LINE: text", or "FILE:LINE: text" when several files are given. Lines are GBK,
// or UTF-8 with --utf8 (converted to GBK for the test; printed as read). Exit status: 0 when no
// line holds a banned word, 1 when some line does, 2 when an input could not be read or a line
// could not be converted.

#include "Taboolex.h"
#include "publish/GbkText.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace {

const char* const kUsage =
    "usage: taboolex-check [--utf8] [FILE...]\n"
    "Prints the lines of the files (or of standard input) that hold a banned word.\n"
    "  --utf8   the text is UTF-8 (it is converted to GBK for the test); default GBK\n"
    "Exit status: 0 no banned word, 1 some line holds one, 2 an input could not be read.\n";

struct Options {
    bool utf8 = false;
    std::vector<std::string> files;
};

// A NUL inside a line would end the text for the library; the pieces are tested one by one, as
// no banned word holds a NUL.
bool HoldsBannedWord(const std::string& gbk) {
    for (size_t start = 0; start <= gbk.size();) {
        const size_t end = gbk.find('\0', start);
        const std::string piece = gbk.substr(start, end == std::string::npos ? end : end - start);
        if (IsTaboolex(piece.c_str())) {
            return true;
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return false;
}

// 0 clean, 1 dirty, 2 a line could not be converted (the other lines are still checked).
int CheckStream(std::istream& in, const std::string& name, bool showName, bool utf8) {
    int status = 0;
    std::string line;
    for (unsigned long number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::optional<std::string> gbk =
            utf8 ? publish::Utf8ToGbk(line) : std::optional<std::string>(line);
        if (!gbk) {
            std::cerr << "taboolex-check: " << name << ":" << number
                      << ": not UTF-8, or a character GBK cannot hold; line skipped\n";
            status = 2;
            continue;
        }
        if (HoldsBannedWord(*gbk)) {
            if (showName) {
                std::cout << name << ":";
            }
            std::cout << number << ": " << line << "\n";
            if (status == 0) {
                status = 1;
            }
        }
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
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--utf8") {
            options.utf8 = true;
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

    int status = 0;
    auto merge = [&status](int s) { status = s == 2 || status == 2 ? 2 : (s | status); };
    if (options.files.empty()) {
        merge(CheckStream(std::cin, "-", false, options.utf8));
    }
    for (const std::string& file : options.files) {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            std::cerr << "taboolex-check: cannot open " << file << ": " << std::strerror(errno)
                      << "\n";
            merge(2);
            continue;
        }
        merge(CheckStream(in, file, options.files.size() > 1, options.utf8));
    }
    std::cout.flush();
    return status;
}
