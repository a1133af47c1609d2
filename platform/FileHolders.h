#pragma once
// Which programs hold a file open, so that a file that cannot be put in place can be blamed on
// the program the player can close.

#include <string>
#include <vector>

// The names of the programs that hold `path` open, as the Restart Manager knows them (the
// program's display name, or its file name when it has none), each once. Empty when nobody
// holds it or when the platform cannot tell (no Restart Manager, no rights to ask, or a Restart
// Manager that does not track files, as under Wine).
std::vector<std::wstring> ProgramsHoldingFile(const std::wstring& path);
