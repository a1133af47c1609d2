#include "LoadedLibrary.h"

#include <chrono>
#include <stdexcept>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <link.h>
#include <malloc.h>

#include <cstring>
#endif

namespace {

double MicrosSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

#if defined(_WIN32)

namespace {
std::wstring Wide(const std::string& path) {
    return std::wstring(path.begin(), path.end()); // ASCII paths only
}
} // namespace

LoadedLibrary::LoadedLibrary(const std::string& path) : module_(LoadLibraryW(Wide(path).c_str())) {
    if (!module_) {
        throw std::runtime_error("cannot load " + path);
    }
    test_ = reinterpret_cast<TestFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(module_.get(), "IsTaboolex")));
    find_ = reinterpret_cast<FindFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(module_.get(), "TaboolexFind")));
    if (test_ == nullptr || find_ == nullptr) {
        throw std::runtime_error(path + " does not export IsTaboolex and TaboolexFind");
    }
}

LoadedLibrary::~LoadedLibrary() = default;

std::size_t LoadedLibrary::ImageBytes() const {
    const auto* base = reinterpret_cast<const unsigned char*>(module_.get());
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return nt->OptionalHeader.SizeOfImage;
}

double LoadedLibrary::LoadUnloadMicros(const std::string& path, int rounds) {
    const std::wstring wide = Wide(path);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        UniqueModule module(LoadLibraryW(wide.c_str()));
        if (!module) {
            throw std::runtime_error("cannot load " + path);
        }
    }
    return MicrosSince(start) / rounds;
}

long LoadedLibrary::HeapBytesAtLoad(const std::string&) {
    return -1;
}

#else

LoadedLibrary::LoadedLibrary(const std::string& path)
    : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ == nullptr) {
        throw std::runtime_error("cannot load " + path + ": " + dlerror());
    }
    test_ = reinterpret_cast<TestFunction>(dlsym(handle_, "IsTaboolex"));
    find_ = reinterpret_cast<FindFunction>(dlsym(handle_, "TaboolexFind"));
    if (test_ == nullptr || find_ == nullptr) {
        dlclose(handle_);
        throw std::runtime_error(path + " does not export IsTaboolex and TaboolexFind");
    }
}

LoadedLibrary::~LoadedLibrary() {
    dlclose(handle_);
}

std::size_t LoadedLibrary::ImageBytes() const {
    struct Search {
        const void* symbol;
        std::size_t bytes = 0;
    } search{reinterpret_cast<const void*>(test_)};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto* s = static_cast<Search*>(data);
            std::size_t bytes = 0;
            bool holds = false;
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr)& ph = info->dlpi_phdr[i];
                if (ph.p_type != PT_LOAD) {
                    continue;
                }
                bytes += ph.p_memsz;
                const auto from = info->dlpi_addr + ph.p_vaddr;
                const auto at = reinterpret_cast<ElfW(Addr)>(s->symbol);
                holds = holds || (at >= from && at < from + ph.p_memsz);
            }
            if (holds) {
                s->bytes = bytes;
            }
            return holds ? 1 : 0;
        },
        &search);
    return search.bytes;
}

double LoadedLibrary::LoadUnloadMicros(const std::string& path, int rounds) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            throw std::runtime_error("cannot load " + path);
        }
        dlclose(handle);
    }
    return MicrosSince(start) / rounds;
}

long LoadedLibrary::HeapBytesAtLoad(const std::string& path) {
    const std::size_t before = mallinfo2().uordblks;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    const std::size_t after = mallinfo2().uordblks;
    if (handle != nullptr) {
        dlclose(handle);
    }
    return static_cast<long>(after) - static_cast<long>(before);
}

#endif
