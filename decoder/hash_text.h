// How the decoder reads hash digits and writes address texts, for any kind of code unit: the
// definitions behind decodeHash and writeAddress (calculate.h). Each program instantiates them for
// the units it uses (hash_text_utf16.cpp, hash_text_bytes.cpp), so that it carries only those
// tables.
#pragma once

#include "calculate.h"

#include <algorithm>
#include <type_traits>

namespace kavlo {
namespace detail {

inline constexpr std::uint8_t kNotHex = 0xFF;

// Digit values for the first 256 code units, kNotHex for the rest of them: a byte needs no range
// check, and or-ing the values of a whole hash shows at once whether any was not a digit.
inline constexpr auto kHexValues = [] {
    std::array<std::uint8_t, 256> table{};
    table.fill(kNotHex);
    for (std::uint8_t d = 0; d < 10; ++d) table[u'0' + d] = d;
    for (std::uint8_t d = 0; d < 6; ++d) {
        table[u'A' + d] = static_cast<std::uint8_t>(10 + d);
        table[u'a' + d] = static_cast<std::uint8_t>(10 + d);
    }
    return table;
}();

template <typename Unit>
constexpr std::uint8_t hexValue(Unit unit) noexcept {
    const auto value = static_cast<std::make_unsigned_t<Unit>>(unit);  // a byte above 0x7F stays one
    return value < kHexValues.size() ? kHexValues[value] : kNotHex;
}

inline constexpr std::array<std::uint32_t, 9> kPowersOfTen{10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

// "00" to "99": writing two digits at a time halves the divisions.
template <typename Unit>
constexpr std::array<std::array<Unit, 2>, 100> makeDigitPairs() noexcept {
    std::array<std::array<Unit, 2>, 100> table{};
    for (std::size_t i = 0; i < table.size(); ++i) {
        table[i] = {static_cast<Unit>('0' + i / 10), static_cast<Unit>('0' + i % 10)};
    }
    return table;
}
template <typename Unit>
inline constexpr std::array<std::array<Unit, 2>, 100> kDigitPairs = makeDigitPairs<Unit>();

// Writes the decimal digits of `value` from `out` on and returns the end.
template <typename Unit>
constexpr Unit* writeDecimal(Unit* out, std::uint32_t value) noexcept {
    std::size_t digits = 1;
    while (digits <= kPowersOfTen.size() && value >= kPowersOfTen[digits - 1]) ++digits;
    Unit* end = out + digits;
    Unit* at = end;
    for (; value >= 10; value /= 100) {
        const auto& pair = kDigitPairs<Unit>[value % 100];
        *--at = pair[1];
        *--at = pair[0];
        if (value < 100) return end;
    }
    *--at = static_cast<Unit>('0' + value);
    return end;
}

// The text of every octet, made once at compile time, and copied whole and then cut to its size.
// Bytes are padded to four, which is one 4-byte move.
template <typename Unit>
struct OctetText {
    std::array<Unit, sizeof(Unit) == 1 ? 4 : 3> units;
    std::uint8_t size;
};
template <typename Unit>
constexpr std::array<OctetText<Unit>, 256> makeOctetTexts() noexcept {
    std::array<OctetText<Unit>, 256> table{};
    std::uint32_t value = 0;
    for (OctetText<Unit>& text : table) {
        text.size = static_cast<std::uint8_t>(writeDecimal(text.units.data(), value++) - text.units.data());
    }
    return table;
}
template <typename Unit>
inline constexpr std::array<OctetText<Unit>, 256> kOctetTexts = makeOctetTexts<Unit>();

}  // namespace detail

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

template <typename Unit>
Unit* writeAddress(const Address& address, Unit* out) noexcept {
    // Each octet's text whole from the table (the spare units are overwritten next).
    for (std::size_t i = 0; i < 4; ++i) {
        const detail::OctetText<Unit>& octet = detail::kOctetTexts<Unit>[address.octets[i]];
        std::copy_n(octet.units.data(), octet.units.size(), out);
        out += octet.size;
        *out++ = i == 3 ? Unit{':'} : Unit{'.'};
    }
    return detail::writeDecimal(out, address.port);
}

}  // namespace kavlo
