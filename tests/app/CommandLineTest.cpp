#include "app/CommandLine.h"

#include <gtest/gtest.h>

using namespace app;

namespace {

// What the application ends up with for an argument text, starting from its default.
std::wstring AddressFor(std::wstring_view arguments) {
    std::wstring address = L"default";
    ServerListAddressFromArguments(arguments, address);
    return address;
}

} // namespace

TEST(CommandLine, AddressIsTheTextBeforeTheFirstSpace) {
    EXPECT_EQ(AddressFor(L"http://h/list.txt auto"), L"http://h/list.txt");
    EXPECT_EQ(AddressFor(L"http://h/list.txt AUTO"), L"http://h/list.txt");
    EXPECT_EQ(AddressFor(L"http://h/list.txt whatever else"), L"http://h/list.txt");
    // Two spaces: the mode word keeps its leading space, the address is unaffected.
    EXPECT_EQ(AddressFor(L"http://h/list.txt  auto"), L"http://h/list.txt");
    // Quotes are not interpreted.
    EXPECT_EQ(AddressFor(L"\"http://h/a b\" auto"), L"\"http://h/a");
    EXPECT_EQ(AddressFor(L"\"http://h/list.txt\" auto"), L"\"http://h/list.txt\"");
}

TEST(CommandLine, WithoutASeparatingSpaceTheDefaultStays) {
    EXPECT_EQ(AddressFor(L""), L"default");
    EXPECT_EQ(AddressFor(L"http://h/list.txt"), L"default");
    EXPECT_EQ(AddressFor(L"http://h/list.txt\tauto"), L"default"); // a tab is not a separator
    EXPECT_EQ(AddressFor(L" auto"), L"default");                   // space at index 0
}

TEST(CommandLine, ArgumentTextSkipsTheProgramNameAndBlanks) {
    EXPECT_EQ(ArgumentText(L"Refreshor.exe http://h/x auto"), L"http://h/x auto");
    EXPECT_EQ(ArgumentText(L"\"C:\\Program Files\\R\\Refreshor.exe\"   http://h/x auto"),
              L"http://h/x auto");
    EXPECT_EQ(ArgumentText(L"\"C:\\a b\\R.exe\"http://h/x auto"), L"http://h/x auto");
    EXPECT_EQ(ArgumentText(L"Refreshor.exe"), L"");
    EXPECT_EQ(ArgumentText(L"Refreshor.exe \t "), L"");
    EXPECT_EQ(ArgumentText(L"\"unterminated name"), L"");
    EXPECT_EQ(ArgumentText(L""), L"");
}
