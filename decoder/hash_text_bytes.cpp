// The hash in bytes, as the command line has it, and the address text both programs write.
#include "hash_text.h"

#include <algorithm>
#include <charconv>

namespace kavlo {

template bool isHexDigit(char) noexcept;
template HashVerdict decodeHash(std::string_view, Address&) noexcept;

namespace {

// Every octet's text, made once at compile time, with a spare byte: an octet is one 4-byte copy,
// where a conversion took most of the time the command line spends on a line.
struct OctetText {
    std::array<char, 4> digits;
    std::uint8_t size;
};
constexpr std::array<OctetText, 256> kOctetTexts = [] {
    std::array<OctetText, 256> table{};
    for (unsigned value = 0; value < table.size(); ++value) {
        OctetText& text = table[value];
        if (value >= 100) text.digits[text.size++] = static_cast<char>('0' + value / 100);
        if (value >= 10) text.digits[text.size++] = static_cast<char>('0' + value / 10 % 10);
        text.digits[text.size++] = static_cast<char>('0' + value % 10);
    }
    return table;
}();

}  // namespace

char* writeAddress(const Address& address, char* first, char* last) noexcept {
    if (last - first < static_cast<std::ptrdiff_t>(kLongestAddressText)) return first;
    char* at = first;
    for (std::size_t i = 0; i < address.octets.size(); ++i) {
        const OctetText& octet = kOctetTexts[address.octets[i]];
        std::copy_n(octet.digits.data(), octet.digits.size(), at);  // the spare byte is written over next
        at += octet.size;
        *at++ = i < 3 ? '.' : ':';
    }
    return std::to_chars(at, last, address.port).ptr;
}

}  // namespace kavlo
