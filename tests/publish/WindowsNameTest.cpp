#include "publish/WindowsName.h"

#include <gtest/gtest.h>

using namespace publish;

TEST(WindowsName, FoldsLetterCaseAsNtfsDoesBeyondAscii) {
    const std::pair<const char*, const char*> same[] = {
        {"Data/x.txt", "data/X.TXT"},
        {"\xC3\x84.txt", "\xC3\xA4.txt"},         // Ä ä
        {"\xCE\xA3.txt", "\xCF\x83.txt"},         // Σ σ
        {"\xCF\x82.txt", "\xCE\xA3.txt"},         // ς Σ
        {"\xD0\xAF.txt", "\xD1\x8F.txt"},         // Я я
        {"\xEF\xBC\xA1.txt", "\xEF\xBD\x81.txt"}, // full-width Ａ ａ
        {"\xC4\x80\xC4\x81", "\xC4\x80\xC4\x80"}, // Ā ā, a run with stride 2
        {"\xE1\xBE\x80", "\xE1\xBE\x88"},         // ᾀ ᾈ: simple, not full, mapping
    };
    for (const auto& [a, b] : same)
        EXPECT_EQ(WindowsPathKey(a), WindowsPathKey(b)) << a << " " << b;
    const std::pair<const char*, const char*> different[] = {
        {"\xC3\x9F", "SS"},                       // ß has no one-letter upper case
        {"\xF0\x90\x90\xA8", "\xF0\x90\x90\x80"}, // Deseret: beyond UTF-16 units
        {"\xC4\x80", "\xC4\x82"},                 // Ā Ă
        {"a", "\xEF\xBD\x81"},                    // a ａ
    };
    for (const auto& [a, b] : different)
        EXPECT_NE(WindowsPathKey(a), WindowsPathKey(b)) << a << " " << b;
}

TEST(WindowsName, DeviceNamesIncludeTheConsoleAndSuperscriptPorts) {
    for (const char* device :
         {"CONIN$", "conout$.txt", "COM\xC2\xB9", "lpt\xC2\xB3.log", "Nul .txt"})
        EXPECT_NE(WindowsNameProblem(device).find("device"), std::string::npos) << device;
    for (const char* file : {"CONIN", "COM0", "COM10", "console.txt", "LPT\xC2\xB4"})
        EXPECT_EQ(WindowsNameProblem(file), "") << file;
}
