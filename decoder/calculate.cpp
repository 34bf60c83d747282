#include "calculate.h"

namespace kavlo {
namespace {

constexpr std::uint8_t kNotHex = 0xFF;

// Digit values for the ASCII range; every other code unit is not a hex digit.
constexpr auto kHexValues = [] {
    std::array<std::uint8_t, 128> table{};
    table.fill(kNotHex);
    for (std::uint8_t d = 0; d < 10; ++d) table[u'0' + d] = d;
    for (std::uint8_t d = 0; d < 6; ++d) {
        table[u'A' + d] = static_cast<std::uint8_t>(10 + d);
        table[u'a' + d] = static_cast<std::uint8_t>(10 + d);
    }
    return table;
}();

constexpr std::uint8_t hexValue(char16_t unit) noexcept {
    const std::uint8_t value = kHexValues[unit % kHexValues.size()];
    return unit < kHexValues.size() ? value : kNotHex;
}

constexpr std::size_t kHashLength = 12;

constexpr std::array<std::uint32_t, 9> kPowersOfTen{10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

// Writes the decimal digits of `value` from `out` on and returns the end.
constexpr char16_t* writeDecimal(char16_t* out, std::uint32_t value) noexcept {
    std::size_t digits = 1;
    while (digits <= kPowersOfTen.size() && value >= kPowersOfTen[digits - 1]) ++digits;
    char16_t* end = out + digits;
    for (char16_t* at = end; at != out; value /= 10) *--at = static_cast<char16_t>(u'0' + value % 10);
    return end;
}

// The text of every octet, made once at compile time.
struct OctetText {
    std::array<char16_t, 3> units;
    std::uint16_t size;
};
constexpr auto kOctetTexts = [] {
    std::array<OctetText, 256> table{};
    std::uint32_t value = 0;
    for (OctetText& text : table) {
        text.size = static_cast<std::uint16_t>(writeDecimal(text.units.data(), value++) - text.units.data());
    }
    return table;
}();

// "255.255.255.255:65535", plus the spare units of the last octet's three-unit copy.
constexpr std::size_t kAddressRoom = 21 + 2;
static_assert(kAddressRoom <= OutputText::capacity);

}  // namespace

bool isHexDigit(char16_t unit) noexcept { return hexValue(unit) != kNotHex; }

SlotText slotText(const Slot& slot) noexcept {
    const auto* octet = std::get_if<std::int16_t>(&slot);
    const auto* port = std::get_if<std::int32_t>(&slot);
    if (!octet && !port) return {};
    const std::int32_t value = octet ? *octet : *port;
    std::array<char16_t, SlotText::capacity> units{};
    char16_t* end = units.data();
    if (value < 0) *end++ = u'-';
    // Unsigned arithmetic so that the most negative value has a magnitude too.
    const std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    end = writeDecimal(end, magnitude);
    SlotText text;
    text.append(std::u16string_view(units.data(), static_cast<std::size_t>(end - units.data())));
    return text;
}

OutputText calculate(std::u16string_view hash, IPParts& ipPart) noexcept {
    // Every path returns this one object, so it is built in the caller's place, not copied there.
    OutputText output;
    if (hash.size() != kHashLength) {
        output.append(kWrongLengthMessage);
        return output;
    }
    // Each unit's digit value. A unit that is not a hex digit gives the message wherever it
    // stands, so all twelve are looked at without stopping early.
    std::array<std::uint8_t, kHashLength> nibbles{};
    bool allHex = true;
    for (std::size_t i = 0; i < kHashLength; ++i) {
        nibbles[i] = hexValue(hash[i]);
        allHex &= nibbles[i] != kNotHex;
    }
    if (!allHex) {
        output.append(kNotHexMessage);
        return output;
    }
    // The pair of digits at `at`, most significant first: 0 to 255.
    const auto pair = [&nibbles](std::size_t at) { return static_cast<std::int16_t>(nibbles[at] << 4 | nibbles[at + 1]); };
    // The hash's first pair is the address's last octet; the last four digits are the port.
    const std::array<std::int32_t, 6> decoded{0, pair(6), pair(4), pair(2), pair(0), pair(8) << 8 | pair(10)};
    ipPart[4] = pair(0);
    ipPart[3] = pair(2);
    ipPart[2] = pair(4);
    ipPart[1] = pair(6);
    ipPart[5] = decoded[5];
    // Slots 1 to 5 now hold exactly these values; the text is theirs, in display order. It is
    // written in place, octets three units at a time (the spare units are overwritten).
    output.appendInPlace(kAddressRoom, [&decoded](char16_t* end) noexcept {
        for (std::size_t slot = 1; slot <= 4; ++slot) {
            const OctetText& octet = kOctetTexts[static_cast<std::size_t>(decoded[slot])];
            std::copy_n(octet.units.data(), octet.units.size(), end);
            end += octet.size;
            *end++ = slot == 4 ? u':' : u'.';
        }
        return writeDecimal(end, static_cast<std::uint32_t>(decoded[5]));
    });
    return output;
}

void cmdCalculate_Click(CalculateHost& host) noexcept {
    host.replaceIPPortText(calculate(host.hashText(), host.ipPart()).view());
}

}  // namespace kavlo
