#pragma once

// Taboolex: does a GBK text contain a word of the library's built-in banned-word table?
//
// The text is a NUL-terminated GBK byte string. Whitespace (space, tab, line feed, vertical tab,
// form feed, carriage return) is trimmed at both ends and every single-byte space is removed;
// then a word counts only where it starts at a character boundary, byte for byte and
// case-sensitive. A byte 0x81..0xFE followed by any byte but NUL is one character.
//
// Windows (Taboolex.dll): the class CDirtyString is exported under the names the Microsoft C++
// compiler gives its members, so hosts built with that compiler use the class directly. Hosts
// built with other compilers use the plain functions, which are undecorated and __cdecl.
// Linux (libtaboolex.so): the plain function IsTaboolex and the class.

#if defined(_WIN32)
#define TABOOLEX_CDECL __cdecl
#else
#define TABOOLEX_CDECL
#endif

// TABOOLEX_BUILDING is set while the library itself is compiled. On Windows the library exports
// through its module-definition file, never through attributes.
#if defined(TABOOLEX_BUILDING)
#if defined(_WIN32)
#define TABOOLEX_API
#else
#define TABOOLEX_API __attribute__((visibility("default")))
#endif
#elif defined(_WIN32)
#define TABOOLEX_API __declspec(dllimport)
#else
#define TABOOLEX_API
#endif

#ifdef __cplusplus
extern "C" {
#else
#include <stdbool.h>
#endif

// true when the text holds a banned word; false when it does not, when text is null, or when
// the test failed. Never throws.
TABOOLEX_API bool TABOOLEX_CDECL IsTaboolex(const char* text);

#if defined(_WIN32)
// Unfinished entry points: each shows a message box and returns true once it is closed.
TABOOLEX_API bool TABOOLEX_CDECL IsTaboolex2(void);
TABOOLEX_API bool TABOOLEX_CDECL IsTaboolex3(void);
#endif

#ifdef __cplusplus
}

// The class's member names follow one compiler's C++ ABI. On Windows the DLL carries the
// Microsoft compiler's names, which other Windows compilers cannot link against.
#if !defined(_WIN32) || defined(_MSC_VER) || defined(TABOOLEX_BUILDING)
// Stateless: every instance answers alike, and copies are interchangeable.
class TABOOLEX_API CDirtyString {
public:
    CDirtyString();
    ~CDirtyString();
    CDirtyString& operator=(const CDirtyString& other);

    // true when the text holds a banned word; false for a clean text or a null pointer.
    bool IsTaboolex(const char* text);
};
#endif
#endif
