// What a program without a C library must still have: the functions the compiler and the standard
// headers call. Built with -fno-builtin, so that these loops are not made calls to themselves; the
// copies are each one instruction of WebAssembly's bulk-memory set.
#include <cstddef>

extern "C" {
void* memcpy(void* to, const void* from, std::size_t size) { return __builtin_memcpy(to, from, size); }
void* memmove(void* to, const void* from, std::size_t size) { return __builtin_memmove(to, from, size); }
void* memset(void* to, int value, std::size_t size) { return __builtin_memset(to, value, size); }
int memcmp(const void* a, const void* b, std::size_t size) {
    const auto* x = static_cast<const unsigned char*>(a);
    const auto* y = static_cast<const unsigned char*>(b);
    for (std::size_t i = 0; i < size; ++i) {
        if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
    }
    return 0;
}
const void* memchr(const void* bytes, int value, std::size_t size) {
    const auto* at = static_cast<const unsigned char*>(bytes);
    for (std::size_t i = 0; i < size; ++i) {
        if (at[i] == static_cast<unsigned char>(value)) return at + i;
    }
    return nullptr;
}
std::size_t strlen(const char* text) {
    std::size_t size = 0;
    while (text[size] != '\0') ++size;
    return size;
}
[[noreturn]] void abort() { __builtin_trap(); }
[[noreturn]] void __cxa_pure_virtual() { __builtin_trap(); }
}
