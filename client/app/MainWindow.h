#pragma once
// Runs the updater's main window modally until the run ends.

#include <string>

void RunMainWindow(const std::wstring& serverListAddress);
