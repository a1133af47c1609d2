// The test HTTP server as a program of its own, for benchmarks and manual runs:
//   http_test_server [--port N] [--folder DIR] [--generated /path=BYTES]... [--route ROUTE]...
//                    [--port-file FILE] [--stop-file FILE] [--log FILE] [--seconds N]
// It serves until the stop file appears or the time limit passes, so that a script that dies
// half-way never leaves a server behind for long.
//
// A route makes one path misbehave: "/path:option,option,...", with the options
//   bytes=N        a generated body of N bytes (otherwise the file of that path in --folder)
//   silent         never answers
//   trickle=MS     one byte every MS milliseconds
//   redirect-loop  redirects to itself
//   cut=K          closes the connection after K body bytes
//   chunked        chunked framing (with cut=K: no last chunk)
//   close-delimited  no Content-Length; the body ends when the connection closes
//   html           a 200 answer with an HTML page instead of the body
//   ranges=honour|ignore|refuse|wrong-start   how a Range request is answered
//   status=N       answers with status N
// for example: --route "/GameCore.dll:cut=1048576" --route "/UpDataGame.xml:silent".

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <optional>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include "support/TestHttpServer.h"

namespace {

std::string Narrow(const std::wstring& text) {
    int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                          length, nullptr, nullptr);
    return narrow;
}

std::wstring Widen(const std::string& text) {
    int length =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          length);
    return wide;
}

bool WriteTextFile(const std::wstring& path, const std::string& text) {
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr)
        return false;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    return true;
}

int Usage() {
    std::fprintf(stderr, "usage: http_test_server [--port N] [--folder DIR] "
                         "[--generated /path=BYTES]... [--route /path:OPTIONS]... "
                         "[--port-file FILE] [--stop-file FILE] [--log FILE] [--seconds N]\n");
    return 2;
}

std::optional<std::string> ReadFileBytes(const std::wstring& path) {
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr)
        return std::nullopt;
    std::string bytes;
    char buffer[64 * 1024];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof(buffer), file)) > 0)
        bytes.append(buffer, count);
    std::fclose(file);
    return bytes;
}

// Builds the answer of one --route; the path and the answer, or nothing when the text is not
// understood (or names a file the folder does not have).
std::optional<std::pair<std::string, testsupport::Response>>
ParseRoute(const std::string& routeText, const std::wstring& folder) {
    using testsupport::Response;
    size_t colon = routeText.find(':');
    if (routeText.empty() || routeText[0] != '/' || colon == std::string::npos)
        return std::nullopt;
    const std::string path = routeText.substr(0, colon);
    Response response;
    bool hasBody = false;
    std::string option;
    std::istringstream options(routeText.substr(colon + 1));
    while (std::getline(options, option, ',')) {
        size_t equals = option.find('=');
        const std::string name = option.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : option.substr(equals + 1);
        const unsigned long long number = std::strtoull(value.c_str(), nullptr, 10);
        if (name == "bytes") {
            // Served from memory: generating the pattern on the fly would make the server,
            // not the client, the slow side of a benchmark.
            response.Body = std::make_shared<const std::string>(testsupport::PatternBody(number));
            hasBody = true;
        } else if (name == "silent") {
            response.Silent = true;
        } else if (name == "trickle") {
            response.PaceBytes = 1;
            response.PaceDelay = std::chrono::milliseconds(number);
        } else if (name == "redirect-loop") {
            response.Status = 302;
            response.RedirectToItself = true;
        } else if (name == "cut") {
            response.CloseAfter = number;
        } else if (name == "chunked") {
            response.Chunked = true;
        } else if (name == "close-delimited") {
            response.CloseDelimited = true;
        } else if (name == "html") {
            response = Response::HtmlPage();
            hasBody = true;
        } else if (name == "status") {
            response.Status = static_cast<int>(number);
        } else if (name == "ranges") {
            if (value == "honour")
                response.Ranges = Response::RangeHandling::Honour;
            else if (value == "ignore")
                response.Ranges = Response::RangeHandling::Ignore;
            else if (value == "refuse")
                response.Ranges = Response::RangeHandling::Refuse;
            else if (value == "wrong-start")
                response.Ranges = Response::RangeHandling::WrongStart;
            else
                return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    if (!hasBody && !response.Silent && !response.RedirectToItself) {
        std::wstring file = folder + Widen(path);
        std::replace(file.begin(), file.end(), L'/', L'\\');
        auto bytes = folder.empty() ? std::nullopt : ReadFileBytes(file);
        if (!bytes)
            return std::nullopt;
        response.Body = std::make_shared<const std::string>(std::move(*bytes));
    }
    return std::make_pair(path, std::move(response));
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    testsupport::TestHttpServer server;
    unsigned long port = 0;
    unsigned long seconds = 600;
    std::wstring portFile, stopFile, logFile, folder;
    std::vector<std::string> routes;
    for (int i = 1; i < argc; ++i) {
        std::wstring option = argv[i];
        if (i + 1 >= argc)
            return Usage();
        std::wstring value = argv[++i];
        if (option == L"--port") {
            port = std::wcstoul(value.c_str(), nullptr, 10);
        } else if (option == L"--folder") {
            folder = value;
            while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
                folder.pop_back();
            server.ServeFolder(value);
        } else if (option == L"--route") {
            routes.push_back(Narrow(value));
        } else if (option == L"--generated") {
            size_t equals = value.find(L'=');
            if (equals == std::wstring::npos || value[0] != L'/')
                return Usage();
            size_t bytes = std::wcstoull(value.c_str() + equals + 1, nullptr, 10);
            // Served from memory: generating the pattern on the fly would make the server, not
            // the client, the slow side of a benchmark.
            server.Serve(Narrow(value.substr(0, equals)),
                         testsupport::Response::Text(testsupport::PatternBody(bytes)));
        } else if (option == L"--port-file") {
            portFile = value;
        } else if (option == L"--stop-file") {
            stopFile = value;
        } else if (option == L"--log") {
            logFile = value;
        } else if (option == L"--seconds") {
            seconds = std::wcstoul(value.c_str(), nullptr, 10);
        } else {
            return Usage();
        }
    }
    for (const std::string& routeText : routes) {
        auto route = ParseRoute(routeText, folder);
        if (!route) {
            std::fprintf(stderr, "cannot use the route %s\n", routeText.c_str());
            return Usage();
        }
        server.Serve(route->first, std::move(route->second));
    }
    if (port > 65535 || !server.Start(static_cast<uint16_t>(port))) {
        std::fprintf(stderr, "cannot listen: %s\n", server.Error().c_str());
        return 1;
    }
    // The port goes through a file: Wine's helper processes inherit the first program's stdout,
    // so a reader waiting for that pipe to end would wait for ever.
    if (!portFile.empty() && !WriteTextFile(portFile, std::to_string(server.Port()) + "\n")) {
        std::fprintf(stderr, "cannot write the port file\n");
        return 1;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (!stopFile.empty() && ::GetFileAttributesW(stopFile.c_str()) != INVALID_FILE_ATTRIBUTES)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    server.Stop();
    if (!logFile.empty()) {
        std::string log;
        for (const auto& request : server.Requests()) {
            auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(request.Ended -
                                                                            request.Started);
            log += request.Method + " " + request.Target + " " + std::to_string(request.Status) +
                   " " + std::to_string(request.BodyBytesSent) + " bytes " +
                   std::to_string(ms.count()) + " ms" + (request.Completed ? "" : " cut");
            std::string range = request.Header("Range");
            if (!range.empty())
                log += " range=" + range;
            log += "\n";
        }
        WriteTextFile(logFile, log);
    }
    return 0;
}
