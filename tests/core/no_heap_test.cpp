// The module and the decoder promise not to touch the heap: count every allocation made while they run.
#include "gga_decode.h"
#include "port_device.h"
#include "port_table.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <new>

#if defined(__has_feature)
#  if __has_feature(address_sanitizer)
#    define HEAP_COUNT_WITH_SANITIZER 1
#  endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#  define HEAP_COUNT_WITH_SANITIZER 1
#endif

namespace {

bool counting = false;
int allocations = 0;

void note_allocation() {
    if (counting) {
        ++allocations;
    }
}

}  // namespace

// C++ allocations, on every platform.
void* operator new(std::size_t size) {
    note_allocation();
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

// C allocations: with the sanitizer its allocator reports them; with glibc alone the program's own
// malloc family takes the place of the C library's, inside the C library too (sscanf, newlocale).
#if defined(HEAP_COUNT_WITH_SANITIZER)
// Part of the sanitizer runtime's public interface; declared here as not every toolchain ships its header.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, std::size_t),
                                                         void (*free_hook)(const volatile void*));
namespace {
void sanitizer_malloc_hook(const volatile void*, std::size_t) { note_allocation(); }
void sanitizer_free_hook(const volatile void*) {}
const int hooks_installed = __sanitizer_install_malloc_and_free_hooks(sanitizer_malloc_hook, sanitizer_free_hook);
}  // namespace
#  define HEAP_COUNT_COVERS_C 1
#elif defined(__GLIBC__)
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);

void* malloc(std::size_t size) {
    note_allocation();
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    note_allocation();
    return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) {
    note_allocation();
    return __libc_realloc(p, size);
}
void free(void* p) { __libc_free(p); }
}
#  define HEAP_COUNT_COVERS_C 1
#endif

namespace {

TEST(no_heap, table_selection_queries_and_decoding_allocate_nothing) {
#if defined(HEAP_COUNT_WITH_SANITIZER)
    ASSERT_NE(hooks_installed, 0);
#endif
    // Show that the counter works before trusting its zero.
    counting = true;
    void* probe = std::malloc(16);
    counting = false;
    std::free(probe);
#if defined(HEAP_COUNT_COVERS_C)
    ASSERT_EQ(allocations, 1) << "malloc is not being counted";
#endif
    allocations = 0;

    char name[port_device::port_name_size];
    char device[port_device::device_name_size];
    position_reader::gga_position fix{};
    int picked = 0;
    int results = 0;

    counting = true;
    port_device::reset_port_device_state();
    port_device::append_entry(3, "Prolific USB-to-Serial Comm Port (COM3)", "USB\\VID_067B&PID_2303", "\\Device\\ProlificSerial0");
    port_device::append_entry(5, "USB Serial Port (COM5)", "FTDIBUS\\VID_0403+PID_6001", "\\Device\\VCP0");
    picked += port_device_pickup("Prolific");
    picked += port_device_pickup_by_type(port_device_type_ftdi);
    picked += port_device_pickup_all();
    picked += get_how_many_port_devices();
    results += get_port_number(1);
    results += get_port_name(0, name);
    results += get_port_device_name(1, device);
    results += get_port_device_name2(0, device);
    const auto first = position_reader::decode_gga_sentence(
        "$GPGGA,101500.00,3723.2475,S,12158.3416,W,1,07,1.1,12.0,M,-25.0,M,,*76", &fix);
    const auto second = position_reader::decode_gga_sentence(
        "$GPGGA,101500.00000000000000000000000000000000000000000001,4807.038,N,01131.000,E,1,", &fix);
    const auto third = position_reader::decode_gga_sentence("$GPGGA,101500.00,,,,,0,00,99.9,,,,,,*48", &fix);
    port_device::reset_port_device_state();
    counting = false;

    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(picked, 1 + 1 + 2 + 2);
    EXPECT_EQ(results, 5);
    EXPECT_EQ(first, position_reader::gga_decode_result::position);
    EXPECT_EQ(second, position_reader::gga_decode_result::position);
    EXPECT_EQ(third, position_reader::gga_decode_result::data_error);
}

}  // namespace
