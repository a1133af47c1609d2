#pragma once
// The tool's two key operations besides publishing: making a signing key pair, and checking a
// published manifest's signature file the way an updater would.

#include "publish/Publisher.h"

#include <filesystem>
#include <vector>

namespace publish {

// Writes a new P-256 key pair: the private key readable by its owner only, the public key for
// the updater's build. Refuses to replace existing files.
bool GenerateKeyPair(const std::filesystem::path& privateKey,
                     const std::filesystem::path& publicKey, MessageSink& sink);

// True when the manifest's signature file holds a signature that verifies with one of the
// public keys.
bool VerifySignedManifest(const std::filesystem::path& manifest,
                          const std::vector<std::filesystem::path>& publicKeys, MessageSink& sink);

} // namespace publish
