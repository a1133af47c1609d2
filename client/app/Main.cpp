#include "app/UpdateApp.h"

#include <windows.h>

// The one application object, constructed before WinMain runs.
static UpdateApp theApp;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    theApp.InitInstance();
    return theApp.ExitInstance();
}
