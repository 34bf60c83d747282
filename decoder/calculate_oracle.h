// What a Calculate press should do, worked out apart from the decoder: the twelve digits as one
// 48-bit number, split with shifts. Shared by the decoder's tests and its fuzzing target.
#pragma once

#include "calculate.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kavlo::oracle {

// The two messages, spelled out here rather than taken from the decoder.
inline const std::u16string kLength = u"Please enter 12 digits";
inline const std::u16string kHex = u"Please enter hex digits";

struct Expected {
    std::u16string text;
    std::optional<std::array<std::int32_t, 5>> slots;  // ipPart[1..5] after an address
};

inline Expected expected(std::u16string_view hash) {
    if (hash.size() != 12) return {kLength, std::nullopt};
    std::uint64_t number = 0;
    for (char16_t c : hash) {
        int digit = 0;
        if (c >= u'0' && c <= u'9') digit = c - u'0';
        else if (c >= u'a' && c <= u'f') digit = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F') digit = c - u'A' + 10;
        else return {kHex, std::nullopt};
        number = number << 4 | static_cast<std::uint64_t>(digit);
    }
    const auto part = [number](int shift, std::uint64_t mask) {
        return static_cast<std::int32_t>((number >> shift) & mask);
    };
    std::array<std::int32_t, 5> slots{part(16, 0xFF), part(24, 0xFF), part(32, 0xFF), part(40, 0xFF),
                                      part(0, 0xFFFF)};
    const std::string text = std::to_string(slots[0]) + "." + std::to_string(slots[1]) + "." +
                             std::to_string(slots[2]) + "." + std::to_string(slots[3]) + ":" +
                             std::to_string(slots[4]);
    return {std::u16string(text.begin(), text.end()), slots};
}

// The slots after the press, from the slots before it: a message leaves them as they were; an
// address puts its octets (16-bit) into 1 to 4 and its port (32-bit) into 5. Slot 0 stays.
inline IPParts slotsAfter(const Expected& expected, IPParts slots) {
    if (!expected.slots) return slots;
    for (std::size_t i = 0; i < 4; ++i) slots[i + 1] = static_cast<std::int16_t>((*expected.slots)[i]);
    slots[5] = (*expected.slots)[4];
    return slots;
}

}  // namespace kavlo::oracle
