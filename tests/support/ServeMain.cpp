// The test HTTP server as a program of its own, for benchmarks and manual runs:
//   http_test_server [--port N] [--folder DIR] [--generated /path=BYTES]... [--port-file FILE]
//                    [--stop-file FILE] [--log FILE] [--seconds N]
// It serves until the stop file appears or the time limit passes, so that a script that dies
// half-way never leaves a server behind for long.

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>

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
                         "[--generated /path=BYTES]... [--port-file FILE] [--stop-file FILE] "
                         "[--log FILE] [--seconds N]\n");
    return 2;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    testsupport::TestHttpServer server;
    unsigned long port = 0;
    unsigned long seconds = 600;
    std::wstring portFile, stopFile, logFile;
    for (int i = 1; i < argc; ++i) {
        std::wstring option = argv[i];
        if (i + 1 >= argc)
            return Usage();
        std::wstring value = argv[++i];
        if (option == L"--port") {
            port = std::wcstoul(value.c_str(), nullptr, 10);
        } else if (option == L"--folder") {
            server.ServeFolder(value);
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
                   std::to_string(ms.count()) + " ms" + (request.Completed ? "" : " cut") + "\n";
        }
        WriteTextFile(logFile, log);
    }
    return 0;
}
