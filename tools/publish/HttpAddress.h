#pragma once
// HTTP addresses as the updater can use them: plain http (its download task speaks nothing
// else), a host, an optional port and a path. File addresses are the release's base address
// joined with the file's relative path, each segment percent-encoded as UTF-8.

#include <string>
#include <string_view>
#include <vector>

namespace publish {

enum class AddressUse {
    Base,     // a folder that file paths are appended to: no query, no fragment
    Manifest, // an address fetched as it is (a server-list line): a query is allowed
};

// Checks `text`; on refusal `error` says why.
bool CheckHttpAddress(std::string_view text, AddressUse use, std::string& error);

// Every byte except the unreserved characters A-Z a-z 0-9 - . _ ~ as %XX (upper-case hex).
std::string PercentEncode(std::string_view segment);

// `base` (already checked) followed by the encoded segments, one slash between each.
std::string JoinUrl(std::string_view base, const std::vector<std::string>& segments);

} // namespace publish
