// A host program of the Microsoft C++ ABI, built with clang for x86_64-pc-windows-msvc and
// linked by lld-link against the shipped Taboolex.h and Taboolex.lib alone (no C runtime): it
// constructs, copies, assigns, uses and destroys CDirtyString through the DLL's decorated
// exports, exactly as code from that compiler does. It runs under Wine and exits with 0 when
// every check holds.

#include "Taboolex.h"
#include "WordTable.h"

extern "C" {
__declspec(dllimport) void* __stdcall GetStdHandle(unsigned long which);
__declspec(dllimport) int __stdcall WriteFile(void* file, const void* data, unsigned long size,
                                              unsigned long* written, void* overlapped);
__declspec(dllimport) __declspec(noreturn) void __stdcall ExitProcess(unsigned code);
}

namespace {

void Print(const char* text) {
    unsigned long size = 0;
    while (text[size] != '\0') {
        ++size;
    }
    unsigned long written = 0;
    WriteFile(GetStdHandle(static_cast<unsigned long>(-11)), text, size, &written, nullptr);
}

bool HasSpace(const char* text) {
    for (; *text != '\0'; ++text) {
        if (*text == ' ') {
            return true;
        }
    }
    return false;
}

int failures = 0;

void Check(bool ok, const char* what) {
    if (!ok) {
        Print("FAIL: ");
        Print(what);
        Print("\n");
        ++failures;
    }
}

} // namespace

extern "C" void HostMain() {
    CDirtyString filter;
    CDirtyString other;
    Check(&(filter = other) == &filter, "operator= returns the object itself");

    unsigned checked = 0;
    for (const taboolex::WordEntry& entry : taboolex::kWordTable) {
        if (HasSpace(entry.text)) {
            continue;
        }
        Check(filter.IsTaboolex(entry.text), "member finds a table entry");
        Check(IsTaboolex(entry.text), "plain function finds a table entry");
        // Without its first byte the answer may go either way; the two must agree on it.
        Check(other.IsTaboolex(entry.text + 1) == IsTaboolex(entry.text + 1),
              "member and plain function agree");
        ++checked;
    }
    Check(checked > 8000, "every entry without a space was tried");

    Check(!filter.IsTaboolex(nullptr), "null is clean for the member");
    Check(!IsTaboolex(nullptr), "null is clean for the plain function");
    Check(!filter.IsTaboolex("\xA1\xA1 \t"), "blank text is clean");
    {
        CDirtyString temporary;
        Check(temporary.IsTaboolex(taboolex::kWordTable[0].text), "a temporary object works");
    }
    Print(failures == 0 ? "ok\n" : "failed\n");
    ExitProcess(failures == 0 ? 0 : 1);
}
