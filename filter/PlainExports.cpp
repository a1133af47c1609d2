#include "Taboolex.h"

extern "C" bool TABOOLEX_CDECL IsTaboolex(const char* text) {
    // A barrier: whatever a future member test might throw, a host built with another compiler
    // or another language must only ever see an answer.
    try {
        return CDirtyString().IsTaboolex(text);
    } catch (...) {
        return false;
    }
}
