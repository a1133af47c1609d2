// A small DLL of the demo release; what matters is its version resource.
#include <windows.h>

extern "C" __declspec(dllexport) int GameCoreVersion() { return DEMO_VERSION_NUMBER; }

// regsvr32 calls this when the release marks the file for registration.
extern "C" __declspec(dllexport) HRESULT DllRegisterServer() { return S_OK; }
extern "C" __declspec(dllexport) HRESULT DllUnregisterServer() { return S_OK; }
