#pragma once
// Resource identifiers of Refreshor.exe shared by the start-up code and the resource script.
#define IDS_SOCKETS_INIT_FAILED 103
