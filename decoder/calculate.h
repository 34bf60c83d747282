#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <variant>

namespace kavlo {

// One decoded field as the window keeps it: nothing yet, an octet (16-bit) or the port (32-bit).
using Slot = std::variant<std::monostate, std::int16_t, std::int32_t>;

// The window's six slots. Index 0 is never used; 1 to 4 are the octets in display order, 5 the port.
using IPParts = std::array<Slot, 6>;

// The two messages, in ASCII: the window widens them, the command line writes them as they are.
inline constexpr std::string_view kWrongLengthMessage = "Please enter 12 digits";
inline constexpr std::string_view kNotHexMessage = "Please enter hex digits";

// A hash is twelve hex digits, written with these (and their lower case).
inline constexpr std::size_t kHashLength = 12;
inline constexpr std::string_view kHexAlphabet = "0123456789ABCDEF";

// A short text kept in place, with no heap behind it. What does not fit is dropped.
template <std::size_t Capacity>
class FixedText {
public:
    // A constant; clang-tidy 14 takes the template parameter for a dynamic initializer.
    static constexpr std::size_t capacity = Capacity;  // NOLINT(bugprone-dynamic-static-initializers)

    // ASCII text, each byte widened to its unit.
    constexpr void append(std::string_view text) noexcept {
        const std::size_t count = std::min(text.size(), Capacity - size_);
        std::copy_n(text.data(), count, units_.data() + size_);
        size_ += count;
    }
    [[nodiscard]] constexpr std::u16string_view view() const noexcept { return {units_.data(), size_}; }

private:
    std::array<char16_t, Capacity> units_{};  // the first size_ are the text
    std::size_t size_ = 0;
};

// The longest slot text is "-2147483648".
using SlotText = FixedText<11>;
// The longest answer is "Please enter hex digits"; an address takes at most 21 units.
using OutputText = FixedText<23>;

// True for exactly 0-9, A-F and a-f, compared by code-unit value: for UTF-16 code units (char16_t),
// as the window has them, and for bytes (char), where any byte above 0x7F is not a hex digit.
template <typename Unit>
[[nodiscard]] bool isHexDigit(Unit unit) noexcept;

// A decoded hash: the address's octets in display order ("a.b.c.d" is {a, b, c, d}) and the port.
struct Address {
    std::array<std::uint8_t, 4> octets;
    std::uint16_t port;
    friend constexpr bool operator==(const Address&, const Address&) = default;
};

enum class HashVerdict { Address, WrongLength, NotHex };

// Reads `hash` as the Calculate button does, unit by unit: any length but twelve is WrongLength;
// otherwise a unit that is not a hex digit makes it NotHex; otherwise `address` gets the fields
// (the hash's first pair is the address's last octet, its last four digits are the port) and the
// verdict is Address. `address` is only written for Address. For UTF-16 code units (char16_t), as
// the window has them, and for bytes (char), where any byte above 0x7F is not a hex digit.
// Never throws and never allocates.
template <typename Unit>
[[nodiscard]] HashVerdict decodeHash(std::basic_string_view<Unit> hash, Address& address) noexcept;

// "255.255.255.255:65535": the longest address text, four octets of three digits, three dots, a
// colon and a port of five digits.
inline constexpr std::size_t kLongestOctetText = 3;
inline constexpr std::size_t kLongestPortText = 5;
inline constexpr std::size_t kLongestAddressText = 4 * kLongestOctetText + 3 + 1 + kLongestPortText;

// writeAddress (hash_text.h) writes an address as "a.b.c.d:port".

// Empty for an empty slot, otherwise the decimal form: no leading zeros, '-' only when negative.
[[nodiscard]] SlotText slotText(const Slot& slot) noexcept;

// The text the Calculate button shows for `hash`, a field's text as UTF-16 code units.
// Twelve hex digits: the pairs at positions 1-2, 3-4, 5-6 and 7-8 (the hash's first pair is the
// address's last octet) go into ipPart[4], [3], [2], [1] as 16-bit values and the last four digits
// into ipPart[5] as a 32-bit value; the result is "a.b.c.d:port" made from ipPart[1..5].
// Any other length gives kWrongLengthMessage; otherwise the first non-hex unit gives
// kNotHexMessage. A message leaves ipPart exactly as it was; ipPart[0] is never touched.
// Never throws and never allocates.
[[nodiscard]] OutputText calculate(std::u16string_view hash, IPParts& ipPart) noexcept;

// What the Calculate procedure needs from the window that runs it.
class CalculateHost {
public:
    // The hash field's current text; empty if it cannot be read.
    virtual std::u16string_view hashText() noexcept = 0;
    // Replaces the whole text of the result field; a failure leaves it as it was.
    virtual void replaceIPPortText(std::u16string_view text) noexcept = 0;
    virtual IPParts& ipPart() noexcept = 0;

protected:
    CalculateHost() = default;
    CalculateHost(const CalculateHost&) = default;
    CalculateHost& operator=(const CalculateHost&) = default;
    ~CalculateHost() = default;
};

// The Calculate button's press: reads the hash, updates the host's slots and replaces the result
// field's text with calculate()'s answer. Never throws.
void cmdCalculate_Click(CalculateHost& host) noexcept;

}  // namespace kavlo
