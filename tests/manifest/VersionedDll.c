/* A DLL that carries nothing but its version resource. Built without the C runtime so that it
   stays a few kilobytes: the benchmark makes thousands of copies. */
#include <windows.h>

BOOL WINAPI VersionedDllEntry(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
