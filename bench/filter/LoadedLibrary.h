#pragma once

#include "Taboolex.h"

#include <cstddef>
#include <string>

#if defined(_WIN32)
#include "platform/UniqueHandle.h"
#endif

// The shipped library loaded at run time, the way a host program loads it, with what its
// loading costs. Throws std::runtime_error when it cannot be loaded.
class LoadedLibrary {
public:
    using TestFunction = bool(TABOOLEX_CDECL*)(const char*);
    using FindFunction = int(TABOOLEX_CDECL*)(const char*, size_t, unsigned, TaboolexMatch*);

    explicit LoadedLibrary(const std::string& path);
    ~LoadedLibrary();
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    // The exported IsTaboolex.
    TestFunction Test() const { return test_; }
    // The exported TaboolexFind.
    FindFunction Find() const { return find_; }

    // Bytes of the library's image in memory (all its loaded segments or sections).
    std::size_t ImageBytes() const;

    // Microseconds to load and unload it again, averaged over `rounds` (it must not be loaded
    // already, or only a reference count moves).
    static double LoadUnloadMicros(const std::string& path, int rounds);

    // Heap the loader and the library take while loading, where the platform tells; -1 if not.
    static long HeapBytesAtLoad(const std::string& path);

private:
#if defined(_WIN32)
    UniqueModule module_;
#else
    void* handle_ = nullptr;
#endif
    TestFunction test_ = nullptr;
    FindFunction find_ = nullptr;
};
