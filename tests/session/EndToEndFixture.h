#pragma once
// What every end-to-end test of Refreshor.exe starts from: the test server on the port a default
// build is pointed at, an installation holding the program and a stand-in game hall that records
// its starts, and releases served as a publisher signs them.

#include "SessionFiles.h"
#include "UpdaterProcess.h"

#include "support/ManifestSigner.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

// The lower-case hex SHA-256 of `bytes`, as a manifest's Sha256 element holds it.
std::string Sha256Hex(std::string_view bytes);

struct PublishedFile {
    std::string Name;
    std::string Content;
    std::string Extra = {}; // further child elements
    // A publish time after any local file's (the copy is always out of date by time), or one
    // before all.
    bool Newer = true;
};

class EndToEndFixture : public ::testing::Test {
protected:
    void SetUp() override;

    // A manifest listing `files`, each with its length, digest and a URL under /files/.
    std::string ManifestXml(const std::vector<PublishedFile>& files) const;

    // Serves `xml` at `path` and its signature file beside it, as a publisher signs them.
    void
    ServeSigned(const std::string& path, const std::string& xml,
                const testsupport::ManifestSigner& signer = testsupport::ManifestSigner::Demo());

    // Serves the signed manifest of `files` at the built-in path and each file's content.
    void Publish(const std::vector<PublishedFile>& files);

    // Starts the updater of the installation the way the game hall's shortcut does.
    bool StartUpdater(UpdaterProcess& updater);

    static bool Saw(const UpdaterProcess& updater, const std::wstring& line);

    // How often `path` was requested.
    size_t Requested(const std::string& path) const;

    // How often the game hall was started.
    size_t GameHallStarts() const;

    // Game hall starts are not waited for by the updater; give one a moment to show.
    size_t GameHallStartsSettled() const;

    testsupport::TestHttpServer server;
    TempFolder install;
    std::string program; // the bytes of Refreshor.exe
    size_t temporaryBefore = 0;
};
