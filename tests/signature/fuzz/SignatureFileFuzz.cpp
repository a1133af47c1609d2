// libFuzzer target: the signature-file and PEM parsers on arbitrary bytes. Whatever the input,
// they must answer without a crash, a hang or a read outside the buffer; a file they accept must
// read back the same after formatting, and a problem must come with a line.

#include "manifest/SignatureFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace signature_file;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    ParseResult result = Parse(input);
    if (result.Status == ParseStatus::Ok) {
        std::string again;
        for (const Line& line : result.Lines)
            again += FormatLine(line) + "\n";
        ParseResult reread = Parse(again);
        if (reread.Status != ParseStatus::Ok || reread.Lines != result.Lines)
            std::abort();
    } else if (result.Status != ParseStatus::Oversized && result.LineNumber == 0) {
        std::abort();
    }

    if (std::optional<std::vector<uint8_t>> bytes = DecodeBase64(input)) {
        if (EncodeBase64(bytes->data(), bytes->size()) != input)
            std::abort(); // decoding accepts only the canonical text
    }
    (void)ParsePublicKeyPem(input);
    return 0;
}
