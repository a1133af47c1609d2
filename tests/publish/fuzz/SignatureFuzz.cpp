// libFuzzer target: what publish-manifest reads from files an operator may have mixed up or an
// attacker may have handed over: signature files and PEM key files. Whatever the input, each
// reader answers without a crash or a hang. The shared format underneath (signature lines, public
// keys, base64) has its own target beside the updater's tests.

#include "publish/KeyFile.h"
#include "publish/SignatureFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    std::vector<signature_file::Line> lines;
    if (publish::ParseSignatureFile(text, lines, error) == lines.empty()) {
        std::abort();
    }
    publish::ParsePrivateKeyPem(text, error);
    publish::ParsePublicKeyPem(text, error);
    return 0;
}
