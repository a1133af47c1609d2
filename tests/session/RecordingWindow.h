#pragma once
// A session window without a window: records status lines and boxes; a message-only window
// receives what the session posts (the downloads' messages, the quit).

#include "session/SessionWindow.h"

#include <string>
#include <vector>

class RecordingWindow : public session::SessionWindow {
public:
    RecordingWindow() {
        handle_ = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    nullptr, nullptr);
    }
    ~RecordingWindow() override { ::DestroyWindow(handle_); }
    RecordingWindow(const RecordingWindow&) = delete;
    RecordingWindow& operator=(const RecordingWindow&) = delete;

    void SetStatusText(const std::wstring& text) override { Status.push_back(text); }
    void ShowMessageBox(const std::wstring& text, const std::wstring&, UINT) override {
        Boxes.push_back(text);
    }
    HWND WindowHandle() const override { return handle_; }

    std::vector<std::wstring> Status;
    std::vector<std::wstring> Boxes;

private:
    HWND handle_ = nullptr;
};
