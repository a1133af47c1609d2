// The members of CDirtyString as a host built with the Microsoft C++ compiler calls them. That
// compiler's member ABI is not GCC's, so the DLL exports these plain functions under the
// Microsoft names (see the .def files) and each forwards to the real member:
//   - x86: __thiscall, `this` in ECX, the callee removes the stack arguments, the constructor
//     and operator= return `this` in EAX, bool comes back in AL;
//   - x64: the ordinary Microsoft x64 convention with `this` as the first argument.
// GCC gives a free function the thiscall convention on x86 only; on x64 there is just the one
// convention, which is also the member one.

#include "Taboolex.h"

#include <new>

#if defined(__i386__)
#define TABOOLEX_MEMBER_CALL __attribute__((thiscall))
#else
#define TABOOLEX_MEMBER_CALL
#endif

extern "C" {

void* TABOOLEX_MEMBER_CALL TaboolexMemberConstruct(void* self) noexcept {
    return new (self) CDirtyString;
}

void TABOOLEX_MEMBER_CALL TaboolexMemberDestroy(void* self) noexcept {
    static_cast<CDirtyString*>(self)->~CDirtyString();
}

void* TABOOLEX_MEMBER_CALL TaboolexMemberAssign(void* self, const void* other) noexcept {
    return &(*static_cast<CDirtyString*>(self) = *static_cast<const CDirtyString*>(other));
}

bool TABOOLEX_MEMBER_CALL TaboolexMemberIsTaboolex(void* self, const char* text) noexcept {
    // The member cannot fail, but nothing must unwind into a host of another compiler.
    try {
        return static_cast<CDirtyString*>(self)->IsTaboolex(text);
    } catch (...) {
        return false;
    }
}

} // extern "C"
