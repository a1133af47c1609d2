#pragma once
// The installation tests' files: the shared temporary folder, and whole-file reads that show a
// missing file as "<missing>", so that a failed expectation names what is wrong.

#include "support/TestFiles.h"

#include <string>

using testsupport::TempFolder;

inline bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    testsupport::WriteFileBytes(path, bytes);
    return true;
}

inline std::string ReadBytes(const std::wstring& path) {
    return testsupport::ReadFileBytes(path).value_or("<missing>");
}
