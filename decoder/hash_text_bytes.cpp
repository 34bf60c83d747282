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

// "00" to "99": the port is written two digits at a time.
constexpr std::array<std::array<char, 2>, 100> kDigitPairs = [] {
    std::array<std::array<char, 2>, 100> table{};
    for (unsigned value = 0; value != table.size(); ++value) {
        table[value] = {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
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
    const auto& high = kDigitPairs[port / 10000];  // 0 to 6
    const auto& middle = kDigitPairs[port / 100 % 100];
    const auto& low = kDigitPairs[port % 100];
    const char digits[10] = {high[1], middle[0], middle[1], low[0], low[1]};  // and spare bytes
    const std::size_t count = 1 + (port >= 10) + (port >= 100) + (port >= 1000) + (port >= 10000);
    std::memcpy(at, digits + 5 - count, 5);  // one 5-byte copy: what follows the port's digits is room
    return at + count;
}

}  // namespace kavlo
