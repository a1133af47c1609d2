// libFuzzer target: what publish-manifest reads from files an operator may have mixed up or an
// attacker may have handed over: signature files, PEM key files and their base64. Whatever the
// input, each parser answers without a crash or a hang, and base64 has one spelling only.

#include "publish/Base64.h"
#include "publish/KeyFile.h"
#include "publish/SignatureFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    std::vector<publish::SignatureLine> lines;
    if (publish::ParseSignatureFile(text, lines, error) == lines.empty())
        std::abort();
    publish::ParsePrivateKeyPem(text, error);
    publish::ParsePublicKeyPem(text, error);
    if (auto decoded = publish::DecodeBase64(text)) {
        if (publish::EncodeBase64(decoded->data(), decoded->size()) != text)
            std::abort();
    }
    return 0;
}
