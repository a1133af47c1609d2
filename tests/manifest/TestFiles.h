#pragma once
// The manifest tests' files: the shared helpers and the versioned DLLs built beside the tests.

#include "support/TestFiles.h"

#include <string>

using namespace testsupport;

// "<program folder>\<name>.dll", a DLL whose file version is the name's digits (v1_0_0_9 ...).
inline std::wstring VersionedDll(const wchar_t* name) {
    return TestProgramFolder() + L"\\" + name + L".dll";
}
