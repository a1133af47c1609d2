#pragma once
// Result codes of a download and the messages that go with them. The code travels in the low
// word of the done message; the message is what the task's error text shows.

#include <cstdint>

namespace net {

enum DownloadError : int32_t {
    DownloadOk = 0,
    DownloadBadUrl = 1,
    DownloadConnectFailed = 2,
    DownloadRedirectFailed = 3,
    DownloadBadRedirectUrl = 4,
    DownloadNotHttp = 5,
    DownloadServerFileFailed = 6,
    DownloadLocalFileFailed = 7,
    DownloadCancelled = 8,
    DownloadUrlIncorrect = 9,
    // 10 is the session's own: a download whose thread could not be started.
    // The bytes arrived in full but are not the file the owner expected (its SHA-256 differs).
    DownloadDigestMismatch = 11,
};

// The message of `code`; codes outside 1-9 (0 and 11 included) give the generic connection
// text, which is also a fresh task's error text.
const wchar_t* DownloadErrorText(int32_t code);

} // namespace net
