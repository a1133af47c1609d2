#pragma once

// Taboolex: does a text contain a word of the library's built-in banned-word table?
//
// Every function here is thread-safe and allocation-free: the table is read-only data compiled
// into the library, a call reads only its arguments and that table, and nothing is allocated,
// built or locked, neither at load nor per call. Any number of threads may call at once.
//
// What counts as a match. A text is read as a sequence of characters:
//   - GBK: a byte 0x81..0xFE followed by any byte but NUL is one character; any other byte is a
//     character of its own.
//   - UTF-8 (TABOOLEX_UTF8): a well-formed UTF-8 sequence is one character; any byte that does
//     not start one is a character of its own. A character outside GBK never matches and is
//     never skipped.
// Then some characters are skipped and the rest compared:
//   - By default (the reading of IsTaboolex): only the single-byte space is skipped, and a word
//     matches byte for byte, case-sensitively. Words of the table that hold a space can never
//     match.
//   - TABOOLEX_STRICT: spaces, tabs, the full-width space, and every punctuation or symbol
//     character of GBK (Unicode categories P and S) are skipped, so "外.挂", "外 * 挂" and
//     "外挂" read alike; full-width ASCII reads as ASCII, and ASCII letters in either case
//     alike. Words are read the same way, so "fuck you" in the table matches "FuckYou!".
// A word matches where its characters, read this way, follow each other in the text, starting
// at a character boundary; the skipped characters between them belong to the match. Any other
// character that no word holds (a line break, say, or by default a tab) breaks a match.
//
// Windows (Taboolex.dll): the class CDirtyString is exported under the names the Microsoft C++
// compiler gives its members, so hosts built with that compiler use the class directly. Hosts
// built with other compilers use the plain functions, which are undecorated and __cdecl.
// Linux (libtaboolex.so): the plain functions and the class; the library needs no C++ runtime.

#include <stddef.h>

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

// true when the NUL-terminated GBK text holds a banned word (default reading; whitespace at
// either end is irrelevant); false when it does not, when text is null, or when the test failed.
// Never throws.
TABOOLEX_API bool TABOOLEX_CDECL IsTaboolex(const char* text);

#if defined(_WIN32)
// Unfinished entry points: each shows a message box and returns true once it is closed.
TABOOLEX_API bool TABOOLEX_CDECL IsTaboolex2(void);
TABOOLEX_API bool TABOOLEX_CDECL IsTaboolex3(void);
#endif

// Flags of the calls below; combine with |.
#define TABOOLEX_GBK 0u    // the text is GBK (the default)
#define TABOOLEX_UTF8 1u   // the text is UTF-8
#define TABOOLEX_STRICT 2u // the strict reading described above

// Results of the calls below.
#define TABOOLEX_CLEAN 0    // no match
#define TABOOLEX_FOUND 1    // at least one match
#define TABOOLEX_INVALID -1 // a bad argument; nothing was read or written

typedef struct TaboolexMatch {
    size_t offset; // bytes before the match's first character
    size_t length; // bytes from there to the end of its last character
    int group;     // group of the table (1..6) that holds the word
} TaboolexMatch;

// Finds the first match in the `length` bytes at `text` (NUL is an ordinary character there):
// the one that ends first, and of those ending at the same character the longest. Returns
// TABOOLEX_FOUND and fills *match (when match is not null), TABOOLEX_CLEAN, or TABOOLEX_INVALID
// (text null with a length, or an unknown flag).
TABOOLEX_API int TABOOLEX_CDECL TaboolexFind(const char* text, size_t length, unsigned flags,
                                             TaboolexMatch* match);

// Writes the text to `out` with every match masked: each character from a match's first to its
// last becomes one '*' (so the result is never longer than the text). `out` may be `text`
// itself, to mask in place, or a buffer of at least `length` bytes that does not overlap it.
// *outLength receives the length of the result; nothing is written after it. Returns
// TABOOLEX_FOUND when something was masked, TABOOLEX_CLEAN when the text was copied unchanged,
// or TABOOLEX_INVALID (a null pointer where bytes are needed, overlapping buffers, an unknown
// flag).
TABOOLEX_API int TABOOLEX_CDECL TaboolexMask(const char* text, size_t length, unsigned flags,
                                             char* out, size_t* outLength);

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
