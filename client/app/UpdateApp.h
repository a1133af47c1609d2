#pragma once
// The application object: process-wide services, the command line, then the main window.

#include <string>

class UpdateApp {
public:
    UpdateApp();
    virtual ~UpdateApp();
    UpdateApp(const UpdateApp&) = delete;
    UpdateApp& operator=(const UpdateApp&) = delete;

    // The whole start-up and the whole run; always false, so the process goes on to exit.
    virtual bool InitInstance();
    // Uncouples COM; the process's exit status.
    virtual int ExitInstance();

    // Taken from the command line; read once by the main window's initialisation.
    std::wstring ServerListAddress;

    // Registered settings location. Nothing reads or writes settings there; it is kept so that
    // the program announces the same location as the installation's other programs.
    static constexpr const wchar_t* SettingsKey = L"Torvane棋牌升级模块";

private:
    bool comInitialised_ = false;
    bool socketsStarted_ = false;
};
