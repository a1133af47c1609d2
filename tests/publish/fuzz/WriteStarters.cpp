// Writes the fuzz target's starting corpus: tiny PE32 and PE32+ images with version resources, so
// that the fuzzer starts from inputs that reach every level of the resource tree.

#include "../TinyImage.h"

#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const manifest::PeVersion a{{1, 2, 3, 4}, {5, 6, 7, 8}};
    const manifest::PeVersion b{{9, 0, 0, 1}, {9, 0, 0, 1}};
    const TinyImage starters[] = {
        TinyImage::Make(false, {{0x0409, a}}),
        TinyImage::Make(true, {{0x0409, a}}),
        TinyImage::Make(true, {{0x0407, a}, {0x0804, b}}),
    };
    int n = 0;
    for (const TinyImage& starter : starters) {
        std::ofstream out(std::string(argv[1]) + "/start" + std::to_string(++n) + ".bin",
                          std::ios::binary);
        out.write(reinterpret_cast<const char*>(starter.Bytes.data()),
                  static_cast<std::streamsize>(starter.Bytes.size()));
        if (!out)
            return 1;
    }
    return 0;
}
