#include "calculate.h"
#include "hash_text.h"

#include <charconv>

namespace kavlo {

static_assert(kLongestAddressText <= OutputText::capacity && kNotHexMessage.size() <= OutputText::capacity);

SlotText slotText(const Slot& slot) noexcept {
    const auto* octet = std::get_if<std::int16_t>(&slot);
    const auto* port = std::get_if<std::int32_t>(&slot);
    SlotText text;
    if (!octet && !port) return text;
    std::array<char, SlotText::capacity> digits{};
    const std::to_chars_result written = std::to_chars(digits.begin(), digits.end(), octet ? *octet : *port);
    text.append({digits.data(), static_cast<std::size_t>(written.ptr - digits.data())});
    return text;
}

OutputText calculate(std::u16string_view hash, IPParts& ipPart) noexcept {
    // Every path returns this one object, so it is built in the caller's place, not copied there.
    OutputText output;
    Address address{};
    switch (decodeHash(hash, address)) {
        case HashVerdict::WrongLength: output.append(kWrongLengthMessage); return output;
        case HashVerdict::NotHex: output.append(kNotHexMessage); return output;
        case HashVerdict::Address: break;
    }
    for (std::size_t slot = 1; slot <= 4; ++slot) ipPart[slot] = static_cast<std::int16_t>(address.octets[slot - 1]);
    ipPart[5] = std::int32_t{address.port};
    // Slots 1 to 5 now hold exactly these values; the text is theirs, in display order.
    std::array<char, kLongestAddressText> text{};
    output.append({text.data(), static_cast<std::size_t>(writeAddress(address, text.begin(), text.end()) - text.data())});
    return output;
}

void cmdCalculate_Click(CalculateHost& host) noexcept {
    host.replaceIPPortText(calculate(host.hashText(), host.ipPart()).view());
}

}  // namespace kavlo
