#include "EndToEndFixture.h"

#include "platform/Sha256.h"
#include "platform/WideString.h"

#include <algorithm>
#include <optional>

using testsupport::Response;

namespace {

// The built-in server of a default build is http://127.0.0.1:18080/UpDataGame.xml.
constexpr uint16_t kBuiltInPort = 18080;

} // namespace

std::string Sha256Hex(std::string_view bytes) {
    std::optional<Sha256Digest> digest = Sha256Of(bytes);
    return digest ? WideToUtf8(FormatSha256(*digest)) : std::string();
}

void EndToEndFixture::SetUp() {
    ASSERT_TRUE(server.Start(kBuiltInPort)) << server.Error();
    program = ReadFileBytes(REFRESHOR_EXE).value_or("");
    WriteFileBytes(install / L"Refreshor.exe", program);
    WriteFileBytes(install / L"Halvenport.exe",
                   ReadFileBytes(TestProgramPath(L"StartRecorder.exe")).value_or(""));
    // No server list unless a test publishes one.
    server.Serve("/list.txt", Response::Error(404));
    temporaryBefore = CountTemporaryFiles(L"Xml*.tmp");
}

std::string EndToEndFixture::ManifestXml(const std::vector<PublishedFile>& files) const {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<UpdateList>\n";
    for (const PublishedFile& file : files) {
        xml += "  <File>\n    <FileName>" + file.Name + "</FileName>\n";
        xml += "    <Length>" + std::to_string(file.Content.size()) + "</Length>\n";
        xml +=
            file.Newer
                ? "    <FileDateLow>0</FileDateLow>\n    <FileDateHigh>4294967295</FileDateHigh>\n"
                : "    <FileDateLow>1</FileDateLow>\n    <FileDateHigh>0</FileDateHigh>\n";
        xml += "    <Sha256>" + Sha256Hex(file.Content) + "</Sha256>\n";
        xml += "    <URL>" + server.Url("/files/" + file.Name) + "</URL>\n" + file.Extra;
        xml += "  </File>\n";
    }
    return xml + "</UpdateList>\n";
}

void EndToEndFixture::ServeSigned(const std::string& path, const std::string& xml,
                                  const testsupport::ManifestSigner& signer) {
    server.Serve(path, Response::Text(xml));
    server.Serve(path + ".sig", Response::Text(signer.SignatureLine(xml)));
}

void EndToEndFixture::Publish(const std::vector<PublishedFile>& files) {
    ServeSigned("/UpDataGame.xml", ManifestXml(files));
    for (const PublishedFile& file : files) {
        server.Serve("/files/" + file.Name, Response::Text(file.Content));
    }
}

bool EndToEndFixture::StartUpdater(UpdaterProcess& updater) {
    return updater.Start(install / L"Refreshor.exe", server.UrlW("/list.txt") + L" auto",
                         install.Path());
}

bool EndToEndFixture::Saw(const UpdaterProcess& updater, const std::wstring& line) {
    auto lines = updater.StatusLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

size_t EndToEndFixture::Requested(const std::string& path) const {
    return server.RequestsFor(path).size();
}

size_t EndToEndFixture::GameHallStarts() const {
    std::string log = ReadFileBytes(install / L"started.log").value_or("");
    size_t count = 0;
    for (size_t at = log.find("Halvenport.exe"); at != std::string::npos;
         at = log.find("Halvenport.exe", at + 1)) {
        ++count;
    }
    return count;
}

size_t EndToEndFixture::GameHallStartsSettled() const {
    WaitForFileContaining(install / L"started.log", "Halvenport.exe");
    return GameHallStarts();
}
