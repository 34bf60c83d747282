// What bytes are, many at a time, for the readers' fast paths: with SSE2 on x86-64, which every
// x86-64 processor has, so that no check at run time is needed; a byte at a time elsewhere (the
// 32-bit Windows program's floor among them), and as the reference the SSE2 form is tested against.
#pragma once

#include "hash_text.h"

#include <array>
#include <cstdint>

#if defined(__x86_64__) && !defined(KAVLO_SCALAR_FINDER)
#define KAVLO_SSE2_FINDER 1
#include <emmintrin.h>
#endif

namespace kavlo::cli {

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

#ifdef KAVLO_SSE2_FINDER
// Whether each byte is in [low, high], in two operations: SSE2 compares signed bytes, so the range
// is moved to start at the lowest of them, -128, and the rest of the bytes wrap above it.
inline __m128i within(__m128i bytes, char low, char high) noexcept {
    const __m128i moved = _mm_add_epi8(bytes, _mm_set1_epi8(static_cast<char>(-128 - low)));
    return _mm_cmplt_epi8(moved, _mm_set1_epi8(static_cast<char>(-128 + high - low + 1)));
}
inline std::uint64_t bits(__m128i set) noexcept { return static_cast<std::uint16_t>(_mm_movemask_epi8(set)); }
// The hex digits among the sixteen bytes, and with `lower` (the bytes with 0x20 set: letters in
// lower case) and `digits` given back to the caller that wants the word bytes too.
inline __m128i hexDigits(__m128i bytes, __m128i& lower, __m128i& digits) noexcept {
    lower = _mm_or_si128(bytes, _mm_set1_epi8(0x20));
    digits = within(bytes, '0', '9');
    return _mm_or_si128(digits, within(lower, 'a', 'f'));
}

inline Masks classifySse2(const char* block, bool lineEnds) noexcept {
    Masks masks{0, 0, 0, 0};
    for (unsigned at = 0; at < 64; at += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + at));
        __m128i lower;
        __m128i digits;
        masks.hex |= bits(hexDigits(bytes, lower, digits)) << at;
        const __m128i letters = _mm_or_si128(within(lower, 'a', 'z'), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('_')));
        masks.word |= bits(_mm_or_si128(digits, letters)) << at;
        masks.dash |= bits(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('-'))) << at;
        if (lineEnds) masks.lineEnds |= bits(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'))) << at;
    }
    return masks;
}
#endif

inline Masks classify(const char* block, bool lineEnds) noexcept {
#ifdef KAVLO_SSE2_FINDER
    return classifySse2(block, lineEnds);
#else
    return classifyBytes(block, lineEnds);
#endif
}

// Whether the sixteen bytes at `bytes` start with a hash's hex digits, in one compare where it can.
inline bool startsWithHash(const char* bytes) noexcept {
#ifdef KAVLO_SSE2_FINDER
    constexpr std::uint64_t kDigits = (std::uint64_t{1} << kHashLength) - 1;
    __m128i lower;
    __m128i digits;
    return (bits(hexDigits(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)), lower, digits)) & kDigits) == kDigits;
#else
    for (unsigned i = 0; i < kHashLength; ++i) {
        if (!(kClasses[static_cast<unsigned char>(bytes[i])] & 1)) return false;
    }
    return true;
#endif
}

}  // namespace kavlo::cli
