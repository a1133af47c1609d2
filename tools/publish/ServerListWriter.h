#pragma once
// The server-list file the updater can read: one "name|address" line per server, in GBK, lines
// ended by CR LF. The updater trims each line and its two halves, splits at the first "|", and
// reads lines into a buffer of 520 bytes; names and addresses that would not come back exactly
// are refused.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace publish {

struct ServerLine {
    std::string Name;    // UTF-8
    std::string Address; // an http address of a manifest
};

// The longest line (without its line end) the updater's buffer takes.
constexpr size_t kMaxServerLineBytes = 519;

// "NAME=ADDRESS" from the command line; the first "=" separates, white space around either half
// is dropped.
bool ParseServerArgument(std::string_view text, ServerLine& line, std::string& error);

// The file's bytes; nothing, with `error` set, when a line cannot be written faithfully.
std::optional<std::string> ServerListBytes(const std::vector<ServerLine>& lines,
                                           std::string& error);

} // namespace publish
