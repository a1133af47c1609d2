#pragma once

#include <string>

namespace taboolex {

// The filter's answer computed the slow, literal way: copy the text, trim whitespace at both
// ends, remove every space, then search for each table entry in table order, trying every
// character boundary of the copy. The library's automaton must agree with it on every input;
// tests, the fuzzer and the benchmark use it as the yardstick. Null gives false.
bool ReferenceContains(const char* text);

// The text as the search sees it (trimmed, spaces removed), stepping over GBK characters.
std::string NormaliseText(const char* text);

} // namespace taboolex
