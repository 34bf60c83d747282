// What bytes are, many at a time, for the readers' fast paths: sixteen at a time with the vector
// instructions every processor of the target has, so that no check at run time is needed (SSE2 on
// x86-64, SIMD128 in WebAssembly); a byte at a time elsewhere (the 32-bit Windows program's floor
// among them), and as the reference the vector form is tested against.
#pragma once

#include "hash_text.h"

#include <array>
#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) && !defined(KAVLO_SCALAR_FINDER)
#define KAVLO_VECTOR_FINDER 1
#include <emmintrin.h>
#elif defined(__wasm_simd128__) && !defined(KAVLO_SCALAR_FINDER)
#define KAVLO_VECTOR_FINDER 1
#include <wasm_simd128.h>
#endif

namespace kavlo {

// What 64 bytes are, a bit a byte, the first byte's the lowest bit.
struct Masks {
    std::uint64_t hex;       // hex digits, as the decoder has them
    std::uint64_t word;      // ASCII letters and digits, and '_', as grep's -w has them
    std::uint64_t dash;      // '-'
    std::uint64_t lineEnds;  // LF, where asked for
};

// A byte's classes, as bits of the masks' order.
inline constexpr std::array<std::uint8_t, 256> kClasses = [] {
    std::array<std::uint8_t, 256> table{};
    for (unsigned c = 0; c != table.size(); ++c) {
        const bool hex = detail::hexValue(static_cast<unsigned char>(c)) != detail::kNotHex;
        const bool letter = (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
        table[c] = static_cast<std::uint8_t>(hex | (hex || letter || c == '_') << 1 | (c == '-') << 2 | (c == '\n') << 3);
    }
    return table;
}();

inline Masks classifyBytes(const char* block, bool lineEnds) noexcept {
    // Each mask in halves of 32 bits, which a 32-bit processor shifts in one instruction.
    std::uint32_t halves[4][2] = {};
    for (unsigned i = 0; i < 64; ++i) {
        const unsigned classes = kClasses[static_cast<unsigned char>(block[i])];
        for (unsigned kind = 0; kind < 4; ++kind) halves[kind][i / 32] |= (classes >> kind & 1u) << i % 32;
    }
    const auto mask = [&halves](unsigned kind) { return std::uint64_t{halves[kind][1]} << 32 | halves[kind][0]; };
    return {mask(0), mask(1), mask(2), lineEnds ? mask(3) : 0};
}

#ifdef KAVLO_VECTOR_FINDER
// Sixteen bytes, and the few operations the classification needs of them.
#ifdef __x86_64__
using Vector = __m128i;
inline Vector load(const char* bytes) noexcept { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)); }
inline Vector splat(char c) noexcept { return _mm_set1_epi8(c); }
inline Vector either(Vector a, Vector b) noexcept { return _mm_or_si128(a, b); }
inline Vector equal(Vector bytes, char c) noexcept { return _mm_cmpeq_epi8(bytes, splat(c)); }
// Whether each byte is in [low, high], in two operations: SSE2 compares signed bytes, so the range
// is moved to start at the lowest of them, -128, and the rest of the bytes wrap above it.
inline Vector within(Vector bytes, char low, char high) noexcept {
    const __m128i moved = _mm_add_epi8(bytes, splat(static_cast<char>(-128 - low)));
    return _mm_cmplt_epi8(moved, splat(static_cast<char>(-128 + high - low + 1)));
}
// Its sixteen bits taken as 32, as the instruction writes them, so that no zero-extension is added
// after each one.
inline std::uint64_t bits(Vector set) noexcept { return static_cast<std::uint32_t>(_mm_movemask_epi8(set)); }
#else
using Vector = v128_t;
inline Vector load(const char* bytes) noexcept { return wasm_v128_load(bytes); }
inline Vector splat(char c) noexcept { return wasm_i8x16_splat(c); }
inline Vector either(Vector a, Vector b) noexcept { return wasm_v128_or(a, b); }
inline Vector equal(Vector bytes, char c) noexcept { return wasm_i8x16_eq(bytes, splat(c)); }
// Whether each byte is in [low, high]: moved to start at 0, the rest wrapping above it.
inline Vector within(Vector bytes, char low, char high) noexcept {
    return wasm_u8x16_le(wasm_i8x16_sub(bytes, splat(low)), splat(static_cast<char>(high - low)));
}
inline std::uint64_t bits(Vector set) noexcept { return wasm_i8x16_bitmask(set); }
#endif

// The hex digits among the sixteen bytes, and with `lower` (the bytes with 0x20 set: letters in
// lower case) and `digits` given back to the caller that wants the word bytes too.
inline Vector hexDigits(Vector bytes, Vector& lower, Vector& digits) noexcept {
    lower = either(bytes, splat(0x20));
    digits = within(bytes, '0', '9');
    return either(digits, within(lower, 'a', 'f'));
}

[[gnu::always_inline]] inline Masks classifyVector(const char* block, bool lineEnds) noexcept {
    Masks masks{0, 0, 0, 0};
    for (unsigned at = 0; at < 64; at += 16) {
        const Vector bytes = load(block + at);
        Vector lower;
        Vector digits;
        masks.hex |= bits(hexDigits(bytes, lower, digits)) << at;
        masks.word |= bits(either(digits, either(within(lower, 'a', 'z'), equal(bytes, '_')))) << at;
        masks.dash |= bits(equal(bytes, '-')) << at;
        if (lineEnds) masks.lineEnds |= bits(equal(bytes, '\n')) << at;
    }
    return masks;
}
#endif

// Sixteen UTF-16 units at a time, given as bytes, little- or big-endian, while all sixteen are
// ASCII: written as their bytes, and how many units were (a multiple of sixteen). Where there are
// no vector instructions for it, none: the caller takes each unit.
inline std::size_t asciiFromUtf16([[maybe_unused]] const char* in, [[maybe_unused]] std::size_t units,
                                  [[maybe_unused]] bool bigEndian, [[maybe_unused]] char* out) noexcept {
    std::size_t done = 0;
#if defined(KAVLO_VECTOR_FINDER) && defined(__x86_64__)
    // A unit is ASCII when none of these bits is set: its high byte, and its low byte's top bit.
    const __m128i notAscii = _mm_set1_epi16(static_cast<short>(bigEndian ? 0x80FF : 0xFF80));
    for (; done + 16 <= units; done += 16) {
        __m128i first = load(in + 2 * done);
        __m128i second = load(in + 2 * done + 16);
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(either(first, second), notAscii), _mm_setzero_si128())) != 0xFFFF) {
            break;
        }
        if (bigEndian) {  // the character is each unit's second byte
            first = _mm_srli_epi16(first, 8);
            second = _mm_srli_epi16(second, 8);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done), _mm_packus_epi16(first, second));
    }
#endif
    return done;
}

// Always inlined, as classifyVector is: clang left them calls in the WebAssembly module, returning
// the masks through memory, 6% of the page's Find.
[[gnu::always_inline]] inline Masks classify(const char* block, bool lineEnds) noexcept {
#ifdef KAVLO_VECTOR_FINDER
    return classifyVector(block, lineEnds);
#else
    return classifyBytes(block, lineEnds);
#endif
}

// Whether the sixteen bytes at `bytes` start with a hash's hex digits, in one compare where it can.
inline bool startsWithHash(const char* bytes) noexcept {
#ifdef KAVLO_VECTOR_FINDER
    constexpr std::uint64_t kDigits = (std::uint64_t{1} << kHashLength) - 1;
    Vector lower;
    Vector digits;
    return (bits(hexDigits(load(bytes), lower, digits)) & kDigits) == kDigits;
#else
    for (unsigned i = 0; i < kHashLength; ++i) {
        if (!(kClasses[static_cast<unsigned char>(bytes[i])] & 1)) return false;
    }
    return true;
#endif
}

}  // namespace kavlo
