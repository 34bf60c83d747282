// libFuzzer target: arbitrary slot contents, then an arbitrary UTF-16 text, one press.
// Input layout: six slots of five bytes each (kind byte: empty, 16-bit or 32-bit by value mod 3;
// then four value bytes, little-endian), missing bytes read as zero; the rest is the text, two
// bytes (little-endian) per code unit.
#include "calculate.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using kavlo::IPParts;
using kavlo::Slot;

constexpr std::size_t kSlotBytes = 5;
constexpr std::size_t kHeaderBytes = 6 * kSlotBytes;

void require(bool condition) {
    if (!condition) std::abort();
}

std::uint8_t byteAt(const std::uint8_t* data, std::size_t size, std::size_t index) {
    return index < size ? data[index] : 0;
}

IPParts slotsFrom(const std::uint8_t* data, std::size_t size) {
    IPParts slots{};
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const std::size_t at = i * kSlotBytes;
        std::uint32_t value = 0;
        for (std::size_t b = 0; b < 4; ++b) value |= static_cast<std::uint32_t>(byteAt(data, size, at + 1 + b)) << (8 * b);
        switch (byteAt(data, size, at) % 3) {
            case 0: slots[i] = Slot{}; break;
            case 1: slots[i] = static_cast<std::int16_t>(value); break;
            default: slots[i] = static_cast<std::int32_t>(value); break;
        }
    }
    return slots;
}

bool isAsciiHex(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const IPParts before = slotsFrom(data, size);
    std::u16string text;
    for (std::size_t at = kHeaderBytes; at + 1 < size; at += 2) {
        text.push_back(static_cast<char16_t>(data[at] | data[at + 1] << 8));
    }

    IPParts ipPart = before;
    const auto output = kavlo::calculate(text, ipPart);
    const std::u16string shown(output.view());
    require(ipPart[0] == before[0]);

    bool allHex = true;
    for (char16_t c : text) allHex = allHex && isAsciiHex(c);
    if (text.size() != 12) {
        require(shown == kavlo::kWrongLengthMessage && ipPart == before);
        return 0;
    }
    if (!allHex) {
        require(shown == kavlo::kNotHexMessage && ipPart == before);
        return 0;
    }

    // An address: the slots hold exactly what is shown, and re-encode to the input.
    std::int32_t values[6] = {};
    for (int i = 1; i <= 4; ++i) {
        const auto* octet = std::get_if<std::int16_t>(&ipPart[static_cast<std::size_t>(i)]);
        if (!octet || *octet < 0 || *octet > 255) std::abort();
        values[i] = *octet;
    }
    const auto* port = std::get_if<std::int32_t>(&ipPart[5]);
    if (!port || *port < 0 || *port > 65535) std::abort();
    values[5] = *port;

    const std::string expectedText = std::to_string(values[1]) + "." + std::to_string(values[2]) + "." +
                                     std::to_string(values[3]) + "." + std::to_string(values[4]) + ":" +
                                     std::to_string(values[5]);
    require(shown == std::u16string(expectedText.begin(), expectedText.end()));

    static const char* const kHex = "0123456789ABCDEF";
    std::u16string encoded;
    for (int i : {4, 3, 2, 1}) {
        encoded += static_cast<char16_t>(kHex[values[i] >> 4]);
        encoded += static_cast<char16_t>(kHex[values[i] & 15]);
    }
    for (int shift : {12, 8, 4, 0}) encoded += static_cast<char16_t>(kHex[(values[5] >> shift) & 15]);
    std::u16string upper = text;
    for (char16_t& c : upper) {
        if (c >= u'a' && c <= u'f') c = static_cast<char16_t>(c - u'a' + u'A');
    }
    require(encoded == upper);
    return 0;
}
