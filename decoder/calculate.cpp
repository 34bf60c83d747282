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
    return unit < kHexValues.size() ? kHexValues[unit] : kNotHex;
}

// Where each field sits in the hash. Octet pairs come last octet first; the port is plain.
struct Field {
    std::size_t slot;
    std::size_t first;
    std::size_t digits;
};
constexpr std::array<Field, 5> kFields{{{4, 0, 2}, {3, 2, 2}, {2, 4, 2}, {1, 6, 2}, {5, 8, 4}}};
constexpr std::size_t kHashLength = 12;

// At most four checked digits, so the value is 0 to 65535 and cannot overflow.
constexpr std::int32_t readHex(const char16_t* digits, std::size_t count) noexcept {
    std::int32_t value = 0;
    for (std::size_t i = 0; i < count; ++i) value = value * 16 + hexValue(digits[i]);
    return value;
}

template <std::size_t Capacity>
void appendDecimal(FixedText<Capacity>& text, std::int32_t value) noexcept {
    std::array<char16_t, 10> digits{};
    // Unsigned arithmetic so that the most negative value has a magnitude too.
    std::uint32_t magnitude = static_cast<std::uint32_t>(value);
    if (value < 0) magnitude = 0u - magnitude;
    std::size_t first = digits.size();
    do {
        digits[--first] = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) text.append(u'-');
    text.append(std::u16string_view(digits.data() + first, digits.size() - first));
}

}  // namespace

bool isHexDigit(char16_t unit) noexcept { return hexValue(unit) != kNotHex; }

SlotText slotText(const Slot& slot) noexcept {
    SlotText text;
    if (const auto* octet = std::get_if<std::int16_t>(&slot)) appendDecimal(text, *octet);
    if (const auto* port = std::get_if<std::int32_t>(&slot)) appendDecimal(text, *port);
    return text;
}

OutputText calculate(std::u16string_view hash, IPParts& ipPart) noexcept {
    OutputText output;
    if (hash.size() != kHashLength) {
        output.append(kWrongLengthMessage);
        return output;
    }
    for (char16_t unit : hash) {
        if (!isHexDigit(unit)) {
            output.append(kNotHexMessage);
            return output;
        }
    }
    for (const Field& field : kFields) {
        const std::int32_t value = readHex(hash.data() + field.first, field.digits);
        if (field.digits == 2) {
            ipPart[field.slot] = static_cast<std::int16_t>(value);
        } else {
            ipPart[field.slot] = value;
        }
    }
    for (std::size_t slot = 1; slot <= 5; ++slot) {
        if (slot > 1) output.append(slot == 5 ? u':' : u'.');
        output.append(slotText(ipPart[slot]).view());
    }
    return output;
}

void cmdCalculate_Click(CalculateHost& host) noexcept {
    host.replaceIPPortText(calculate(host.hashText(), host.ipPart()).view());
}

}  // namespace kavlo
