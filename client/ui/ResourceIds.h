#pragma once
// Resource identifiers of Refreshor.exe, shared by the resource script and the code.

#define IDD_UPDATE_DIALOG 102
#define IDS_SOCKETS_INIT_FAILED 103
#define IDI_APPLICATION_ICON 128
#define IDI_TRAY_BLUE 130
#define IDI_TRAY_GREEN 131
#define IDI_TRAY_RED 132
#define IDB_BACKGROUND 133
#define IDB_CLOSE_BUTTON 140
#define IDB_PROGRESS_BAR 141
