#pragma once
// Releases as a publisher serves them to the end-to-end tests: every File element with its
// Sha256, and the manifest beside its signature file.

#include "platform/Sha256.h"
#include "platform/WideString.h"
#include "support/ManifestSigner.h"
#include "support/TestHttpServer.h"

#include <optional>
#include <string>
#include <string_view>

// The lower-case hex SHA-256 of `bytes`, as a manifest's Sha256 element holds it.
inline std::string Sha256Hex(std::string_view bytes) {
    std::optional<Sha256Digest> digest = Sha256Of(bytes);
    return digest ? WideToUtf8(FormatSha256(*digest)) : std::string();
}

// Serves `xml` at `path` and its signature file beside it, as a publisher signs them.
inline void
ServeSigned(testsupport::TestHttpServer& server, const std::string& path, const std::string& xml,
            const testsupport::ManifestSigner& signer = testsupport::ManifestSigner::Demo()) {
    server.Serve(path, testsupport::Response::Text(xml));
    server.Serve(path + ".sig", testsupport::Response::Text(signer.SignatureLine(xml)));
}
