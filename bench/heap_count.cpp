// Counts heap allocations in a bench-only reader, from the end of start-up to exit, and tells those
// that our own code (linked into the program) asked for from those of the C and C++ libraries
// (stdio buffers, directory streams, opened files). Prints the figures on the error stream at exit.
#include <dlfcn.h>

#include <cstddef>
#include <cstdio>
#include <new>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
void __libc_free(void* p);
}

namespace {

enum { caller_capacity = 4096 };

bool counting = false;
int allocations = 0;
const void* callers[caller_capacity];

void note(const void* caller) {
    if (!counting) return;
    if (allocations < caller_capacity) callers[allocations] = caller;
    ++allocations;
}

void* own_anchor() { return reinterpret_cast<void*>(&note); }

__attribute__((constructor(65535))) void begin_counting() { counting = true; }

__attribute__((destructor)) void report() {
    counting = false;
    Dl_info program{};
    dladdr(own_anchor(), &program);
    int ours = 0;
    for (int i = 0; i < allocations && i < caller_capacity; ++i) {
        Dl_info info{};
        if (dladdr(callers[i], &info) != 0 && info.dli_fbase == program.dli_fbase) {
            ++ours;
            std::fprintf(stderr, "  allocation from the program itself at %p\n", callers[i]);
        } else {
            std::fprintf(stderr, "  allocation from %s (%s)\n", info.dli_fname != nullptr ? info.dli_fname : "?",
                         info.dli_sname != nullptr ? info.dli_sname : "?");
        }
    }
    std::fprintf(stderr, "  allocations: %d in all, %d by our own code, %d by the C/C++ libraries\n", allocations, ours,
                 allocations - ours);
}

}  // namespace

extern "C" {
void* malloc(std::size_t size) {
    note(__builtin_return_address(0));
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    note(__builtin_return_address(0));
    return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) {
    note(__builtin_return_address(0));
    return __libc_realloc(p, size);
}
void free(void* p) { __libc_free(p); }
}

void* operator new(std::size_t size) {
    note(__builtin_return_address(0));
    void* p = __libc_malloc(size == 0 ? 1 : size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
void* operator new[](std::size_t size) {
    note(__builtin_return_address(0));
    void* p = __libc_malloc(size == 0 ? 1 : size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
void operator delete(void* p) noexcept { __libc_free(p); }
void operator delete[](void* p) noexcept { __libc_free(p); }
void operator delete(void* p, std::size_t) noexcept { __libc_free(p); }
void operator delete[](void* p, std::size_t) noexcept { __libc_free(p); }
