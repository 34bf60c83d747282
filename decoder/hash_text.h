// How the decoder reads hash digits, for any kind of code unit: the definitions behind isHexDigit
// and decodeHash (calculate.h). Each program instantiates them for the units it uses
// (hash_text_utf16.cpp, hash_text_bytes.cpp), so that it carries only that code.
#pragma once

#include "calculate.h"

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

}  // namespace kavlo
