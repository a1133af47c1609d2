#include "support/MessageRecorder.h"

#include <algorithm>

namespace testsupport {

namespace {
const wchar_t* const ClassName = L"TestMessageRecorder";
}

MessageRecorder::MessageRecorder() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &MessageRecorder::WindowProcedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = ClassName;
    ::RegisterClassW(&windowClass); // fails harmlessly when a previous recorder registered it
    window_ = ::CreateWindowExW(0, ClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                windowClass.hInstance, nullptr);
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

MessageRecorder::~MessageRecorder() {
    if (window_ != nullptr) {
        ::DestroyWindow(window_);
    }
}

LRESULT CALLBACK MessageRecorder::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
    auto* self = reinterpret_cast<MessageRecorder*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && message >= WM_USER) {
        self->messages_.push_back({message, wParam, lParam});
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void MessageRecorder::PumpPending() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

bool MessageRecorder::WaitFor(UINT message, size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        PumpPending();
        if (Count(message) >= count) {
            return true;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()),
                                    QS_ALLINPUT);
    }
}

void MessageRecorder::PumpFor(std::chrono::milliseconds duration) {
    WaitFor(0xFFFF, SIZE_MAX, duration);
}

std::vector<PostedMessage> MessageRecorder::Messages(UINT message) const {
    std::vector<PostedMessage> matching;
    std::copy_if(messages_.begin(), messages_.end(), std::back_inserter(matching),
                 [&](const PostedMessage& m) { return m.Message == message; });
    return matching;
}

size_t MessageRecorder::Count(UINT message) const {
    return static_cast<size_t>(
        std::count_if(messages_.begin(), messages_.end(),
                      [&](const PostedMessage& m) { return m.Message == message; }));
}

} // namespace testsupport
