// How the decoder reads hash digits, for any kind of code unit: the definitions behind isHexDigit
// and decodeHash (calculate.h), which each program instantiates for the units it uses
// (hash_text_utf16.cpp, hash_text_bytes.cpp), so that it carries only that code; and, for bytes,
// digits known to be hex read a word at a time, and the address text written in place, for the
// command line's loops.
#pragma once

#include "calculate.h"

#include <bit>
#include <cstring>
#include <type_traits>

namespace kavlo {
namespace detail {

inline constexpr std::uint8_t kNotHex = 0xFF;

// Digit values for the first 256 code units, kNotHex for the rest of them: a byte needs no range
// check, and or-ing the values of a whole hash shows at once whether any was not a digit.
inline constexpr auto kHexValues = [] {
    std::array<std::uint8_t, 256> table{};
    table.fill(kNotHex);
    std::uint8_t value = 0;
    for (const char digit : kHexAlphabet) {
        table[static_cast<unsigned char>(digit) | 0x20] = value;  // the letters' lower case; a digit is its own
        table[static_cast<unsigned char>(digit)] = value++;
    }
    return table;
}();

template <typename Unit>
constexpr std::uint8_t hexValue(Unit unit) noexcept {
    const auto value = static_cast<std::make_unsigned_t<Unit>>(unit);  // a byte above 0x7F stays one
    return value < kHexValues.size() ? kHexValues[value] : kNotHex;
}

// Every octet's text, made once at compile time: its digits from the lowest byte up and their count
// in the highest, so that an octet is one load, one 4-byte store and one add, where a conversion
// took most of the time the command line spends on a line.
inline constexpr std::array<std::uint32_t, 256> kOctetTexts = [] {
    std::array<std::uint32_t, 256> table{};
    for (unsigned value = 0; value != table.size(); ++value) {
        const unsigned count = value >= 100 ? 3 : value >= 10 ? 2 : 1;
        std::uint32_t digits = count << 24;
        for (unsigned rest = value, at = count; at-- > 0; rest /= 10) digits |= ('0' + rest % 10) << (8 * at);
        table[value] = digits;
    }
    return table;
}();

// "00" to "99", each pair's first digit in the lower byte: the port is made two digits at a time.
inline constexpr std::array<std::uint16_t, 100> kDigitPairs = [] {
    std::array<std::uint16_t, 100> table{};
    for (unsigned value = 0; value != table.size(); ++value) {
        table[value] = static_cast<std::uint16_t>(('0' + value / 10) | ('0' + value % 10) << 8);
    }
    return table;
}();

}  // namespace detail

template <typename Unit>
bool isHexDigit(Unit unit) noexcept {
    return detail::hexValue(unit) != detail::kNotHex;
}

template <typename Unit>
HashVerdict decodeHash(std::basic_string_view<Unit> hash, Address& address) noexcept {
    if (hash.size() != kHashLength) return HashVerdict::WrongLength;
    // The twelve digits as one 48-bit number, most significant first. A unit that is not a hex
    // digit gives the message wherever it stands, so all twelve are read without stopping early;
    // its kNotHex spoils the number, which is then not used.
    std::uint64_t number = 0;
    std::uint8_t any = 0;
    for (std::size_t i = 0; i < kHashLength; ++i) {
        const std::uint8_t value = detail::hexValue(hash[i]);
        any |= value;
        number = number << 4 | value;
    }
    if (any > 0xF) return HashVerdict::NotHex;
    // The hash's first pair is the address's last octet; the last four digits are the port.
    const auto byte = [number](int shift) { return static_cast<std::uint8_t>(number >> shift); };
    address = {{byte(16), byte(24), byte(32), byte(40)}, static_cast<std::uint16_t>(number)};
    return HashVerdict::Address;
}

// What decodeHash gives for twelve bytes already known to be hex digits, read a word at a time.
inline Address decodeHexDigits(const char* digits) noexcept {
    static_assert(std::endian::native == std::endian::little, "the text's first byte is a word's lowest");
    std::uint64_t first8 = 0;
    std::uint32_t last4 = 0;
    std::memcpy(&first8, digits, 8);
    std::memcpy(&last4, digits + 8, 4);
    // Each digit's value at once: '0'-'9' are 0x30-0x39, 'A'-'F' 0x41-0x46 and 'a'-'f' 0x61-0x66.
    first8 = (first8 & 0x0F0F0F0F0F0F0F0F) + 9 * (first8 >> 6 & 0x0101010101010101);
    last4 = (last4 & 0x0F0F0F0F) + 9 * (last4 >> 6 & 0x01010101);
    // Each pair's first digit is its high half: the pairs at bytes 0, 2, 4 and 6, and 0 and 2 of the
    // last four.
    const std::uint64_t pairs = (first8 << 4 | first8 >> 8) & 0x00FF00FF00FF00FF;
    const std::uint32_t portPairs = (last4 << 4 | last4 >> 8) & 0x00FF00FF;
    const auto pair = [pairs](int at) { return static_cast<std::uint8_t>(pairs >> (16 * at)); };
    // The hash's first pair is the address's last octet; the last four digits are the port.
    return {{pair(3), pair(2), pair(1), pair(0)}, static_cast<std::uint16_t>((portPairs & 0xFF) << 8 | portPairs >> 16)};
}

// Writes "a.b.c.d:port", decimal without leading zeros, into [first, last) and returns its end.
// Needs room for the longest such text; with less, writes nothing and returns `first`. Inline, so
// that the command line's loops make a line's text in place: the call took a twentieth of
// decoding's time.
inline char* writeAddress(const Address& address, char* first, const char* last) noexcept {
    static_assert(std::endian::native == std::endian::little, "a word's lowest byte is stored first");
    // Its stores reach no further than the longest text: each octet's four bytes end at or before
    // the next dot's place (and the colon's), and the port's five bytes are its longest text.
    static_assert(sizeof(std::uint32_t) == kLongestOctetText + 1 && 5 == kLongestPortText);
    if (last - first < static_cast<std::ptrdiff_t>(kLongestAddressText)) return first;
    char* at = first;
    for (std::size_t i = 0; i < address.octets.size(); ++i) {
        const std::uint32_t octet = detail::kOctetTexts[address.octets[i]];
        std::memcpy(at, &octet, 4);  // its count, and any spare bytes, are written over next
        at += octet >> 24;
        *at++ = i < 3 ? '.' : ':';
    }
    const unsigned port = address.port;
    // The port's five digits in one register, the first in the lowest byte, shifted down past its
    // leading zeros and stored from there: digits gathered in memory and read back from an offset
    // could not be forwarded from their stores, a wait on every line (an address took 4.9 ns, now 4.4).
    const std::uint64_t digits = std::uint64_t{detail::kDigitPairs[port / 10000]} >> 8 |  // 0 to 6
                                 std::uint64_t{detail::kDigitPairs[port / 100 % 100]} << 8 |
                                 std::uint64_t{detail::kDigitPairs[port % 100]} << 24;
    const std::size_t count = 1 + (port >= 10) + (port >= 100) + (port >= 1000) + (port >= 10000);
    const std::uint64_t shown = digits >> 8 * (5 - count);
    std::memcpy(at, &shown, 5);  // the port's longest text: what follows its digits is room
    return at + count;
}

}  // namespace kavlo
