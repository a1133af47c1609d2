#pragma once
// A message-only window on the creating thread that records the messages posted to it, for
// tests of code that reports by PostMessageW. Pump it from the thread that created it.

#include <windows.h>

#include <chrono>
#include <vector>

namespace testsupport {

struct PostedMessage {
    UINT Message;
    WPARAM WParam;
    LPARAM LParam;
};

class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    HWND Window() const { return window_; }

    // Pumps this thread's messages until `message` has been received `count` times in all, or
    // until `timeout` has passed. True when it arrived.
    bool WaitFor(UINT message, size_t count, std::chrono::milliseconds timeout);
    // Pumps for `duration`, whatever arrives.
    void PumpFor(std::chrono::milliseconds duration);

    const std::vector<PostedMessage>& Messages() const { return messages_; }
    std::vector<PostedMessage> Messages(UINT message) const;
    size_t Count(UINT message) const;
    void Clear() { messages_.clear(); }

private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    void PumpPending();

    HWND window_ = nullptr;
    std::vector<PostedMessage> messages_;
};

} // namespace testsupport
