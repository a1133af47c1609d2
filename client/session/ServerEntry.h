#pragma once
// One update server: its display name and the address of its manifest.

#include "BuildConfig.h"

#include <string>

namespace session {

// The server every run connects to. Its address is a build setting so that a build can point at
// its own update server.
inline constexpr wchar_t kBuiltInServerName[] = L"中心服务器";
inline constexpr wchar_t kBuiltInServerAddress[] = REFRESHOR_BUILTIN_SERVER_ADDRESS;

struct ServerEntry {
    std::wstring Name;    // shown in the status lines
    std::wstring Address; // http address of the manifest, with an optional port and a path
};

} // namespace session
