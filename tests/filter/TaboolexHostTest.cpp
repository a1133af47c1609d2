// The shipped library as a host program sees it: linked through its import library (or the
// shared object), and on Windows also loaded at run time and called by export name and
// ordinal, with the member functions called the way code of the Microsoft compiler calls them.

#include "FilterTestTexts.h"
#include "Taboolex.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#if defined(_WIN32)
#include "platform/UniqueHandle.h"

#include <windows.h>
#endif

namespace {

using filtertest::Entry;

std::string DirtyText() {
    return "  \xA1\xA1" + std::string(Entry(0)) + " ";
}

TEST(TaboolexHost, PlainFunctionAnswersOneOrZero) {
    EXPECT_FALSE(IsTaboolex(nullptr));
    EXPECT_FALSE(IsTaboolex(""));
    EXPECT_FALSE(IsTaboolex(" \t "));
    EXPECT_FALSE(IsTaboolex("\xA1\xA1"));
    EXPECT_TRUE(IsTaboolex(DirtyText().c_str()));
    // One byte, exactly 1 or 0.
    const bool dirty = IsTaboolex(DirtyText().c_str());
    unsigned char byte = 0;
    std::memcpy(&byte, &dirty, 1);
    EXPECT_EQ(byte, 1);
}

#if !defined(_WIN32)
TEST(TaboolexHost, ClassAndPlainFunctionAgree) {
    CDirtyString filter;
    for (unsigned i = 0; i < taboolex::kEntryCount; i += 97) {
        const std::string text = std::string(Entry(i)) + "\t" + std::string(Entry(i + 1));
        const std::string cut(Entry(i).substr(1));
        EXPECT_EQ(filter.IsTaboolex(text.c_str()), IsTaboolex(text.c_str()));
        EXPECT_EQ(filter.IsTaboolex(cut.c_str()), IsTaboolex(cut.c_str()));
    }
}
#else

// The tests run the 64-bit build (32-bit code cannot run on these machines), where a member of
// the Microsoft compiler is an ordinary function taking `this` first.
static_assert(sizeof(void*) == 8, "the Windows tests run the 64-bit build");
const char* const kExportNames[7] = {"??0CDirtyString@@QEAA@XZ",
                                     "??1CDirtyString@@QEAA@XZ",
                                     "??4CDirtyString@@QEAAAEAV0@AEBV0@@Z",
                                     "?IsTaboolex@CDirtyString@@QEAA_NPEBD@Z",
                                     "IsTaboolex",
                                     "IsTaboolex2",
                                     "IsTaboolex3"};

using Construct = void* (*)(void* self);
using Destroy = void (*)(void* self);
using Assign = void* (*)(void* self, const void* other);
using MemberTest = bool (*)(void* self, const char* text);
using Unfinished = bool(__cdecl*)();

class TaboolexDll : public ::testing::Test {
protected:
    void SetUp() override {
        module_.reset(LoadLibraryW(L"Taboolex.dll"));
        ASSERT_TRUE(module_) << "LoadLibrary failed: " << GetLastError();
    }

    FARPROC ByName(const char* name) const { return GetProcAddress(module_.get(), name); }
    FARPROC ByOrdinal(WORD ordinal) const {
        return GetProcAddress(module_.get(), MAKEINTRESOURCEA(ordinal));
    }
    // Through void (*)(): the one cast between function types that says "I know the type".
    template <typename F> F Export(WORD ordinal) const {
        return reinterpret_cast<F>(reinterpret_cast<void (*)()>(ByOrdinal(ordinal)));
    }

    UniqueModule module_;
};

TEST_F(TaboolexDll, ExportsSevenEntriesByNameAndOrdinal) {
    for (WORD ordinal = 1; ordinal <= 7; ++ordinal) {
        const char* name = kExportNames[ordinal - 1];
        ASSERT_NE(ByOrdinal(ordinal), nullptr) << "ordinal " << ordinal;
        EXPECT_EQ(ByName(name), ByOrdinal(ordinal)) << name;
    }
    EXPECT_EQ(ByOrdinal(8), nullptr);
    EXPECT_EQ(ByOrdinal(0), nullptr);
    // The import library binds to the same code.
    EXPECT_EQ(reinterpret_cast<void (*)()>(&IsTaboolex),
              reinterpret_cast<void (*)()>(ByOrdinal(5)));
}

TEST_F(TaboolexDll, MembersWorkWhenCalledTheMicrosoftWay) {
    alignas(8) unsigned char object[8] = {};
    alignas(8) unsigned char other[8] = {};
    const auto construct = Export<Construct>(1);
    const auto destroy = Export<Destroy>(2);
    const auto assign = Export<Assign>(3);
    const auto test = Export<MemberTest>(4);
    ASSERT_TRUE(construct && destroy && assign && test);

    EXPECT_EQ(construct(object), object);
    EXPECT_EQ(construct(other), other);
    EXPECT_EQ(assign(object, other), object);
    EXPECT_TRUE(test(object, DirtyText().c_str()));
    EXPECT_FALSE(test(object, "\xA1\xA1"));
    EXPECT_FALSE(test(object, nullptr));

    // A host of C may well declare the plain result as a byte; it must read exactly 1 or 0.
    const auto plainAsByte = Export<unsigned char(__cdecl*)(const char*)>(5);
    EXPECT_EQ(plainAsByte(DirtyText().c_str()), 1);
    EXPECT_EQ(plainAsByte("\xA1\xA1"), 0);
    destroy(other);
    destroy(object);
}

// The box blocks the calling thread, so it is shown on a thread of its own and closed from here
// the way a user would, by its OK button.
struct BoxCall {
    Unfinished function;
    bool result = false;
};

DWORD WINAPI CallUnfinished(void* parameter) {
    auto* call = static_cast<BoxCall*>(parameter);
    call->result = call->function();
    return 0;
}

std::wstring ProgramTitle() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path);
    name = name.substr(name.find_last_of(L"\\/") + 1);
    return name.substr(0, name.rfind(L'.'));
}

TEST_F(TaboolexDll, UnfinishedEntryPointsShowTheirBoxAndReturnOne) {
    const std::wstring caption = ProgramTitle();
    const std::pair<WORD, const wchar_t*> cases[] = {{6, L"还没完善的接口2"},
                                                     {7, L"还没完善的接口3"}};
    for (const auto& [ordinal, expectedText] : cases) {
        BoxCall call{Export<Unfinished>(ordinal)};
        ASSERT_NE(call.function, nullptr);
        UniqueHandle thread(CreateThread(nullptr, 0, CallUnfinished, &call, 0, nullptr));
        ASSERT_TRUE(thread);

        HWND box = nullptr;
        for (int tries = 0; tries < 400 && box == nullptr; ++tries) {
            Sleep(50);
            box = FindWindowW(L"#32770", caption.c_str());
        }
        // Without the box the thread stays blocked; ending the process ends it.
        ASSERT_NE(box, nullptr) << "no message box captioned with the program's name";
        wchar_t text[64] = {};
        GetDlgItemTextW(box, 0xFFFF, text, 64);
        EXPECT_EQ(std::wstring(text), expectedText);
        EXPECT_EQ(WaitForSingleObject(thread.get(), 0), WAIT_TIMEOUT) << "did not wait for OK";

        PostMessageW(box, WM_COMMAND, IDOK, 0);
        ASSERT_EQ(WaitForSingleObject(thread.get(), 20000), WAIT_OBJECT_0);
        EXPECT_TRUE(call.result);
    }
}
#endif

} // namespace
