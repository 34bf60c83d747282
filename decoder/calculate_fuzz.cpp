// libFuzzer target: arbitrary slot contents, then an arbitrary UTF-16 text, one press, checked
// against the oracle the decoder's tests use.
// Input layout: six slots of five bytes each (kind byte: empty, 16-bit or 32-bit by value mod 3;
// then four value bytes, little-endian), missing bytes read as zero; the rest is the text, two
// bytes (little-endian) per code unit.
#include "calculate.h"
#include "calculate_oracle.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using kavlo::IPParts;
using kavlo::Slot;

constexpr std::size_t kSlotBytes = 5;
constexpr std::size_t kHeaderBytes = 6 * kSlotBytes;

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const IPParts before = slotsFrom(data, size);
    std::u16string text;
    for (std::size_t at = kHeaderBytes; at + 1 < size; at += 2) {
        text.push_back(static_cast<char16_t>(data[at] | data[at + 1] << 8));
    }
    IPParts ipPart = before;
    const std::u16string shown(kavlo::calculate(text, ipPart).view());
    const kavlo::oracle::Expected expected = kavlo::oracle::expected(text);
    if (shown != expected.text || ipPart != kavlo::oracle::slotsAfter(expected, before)) std::abort();
    return 0;
}
