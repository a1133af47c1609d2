#include "app/MainWindow.h"

#include "ui/UpdateDialog.h"

void RunMainWindow(const std::wstring& serverListAddress) {
    // The run ends by ending the dialog; how it ended is not examined. Destroying the window
    // object afterwards cancels and waits for any download still listed.
    UpdateDialog dialog(serverListAddress);
    dialog.DoModal();
}
