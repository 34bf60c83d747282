#include "calculate.h"
#include "hash_text.h"

namespace kavlo {

static_assert(kAddressTextRoom <= OutputText::capacity);

bool isHexDigit(char16_t unit) noexcept { return detail::hexValue(unit) != detail::kNotHex; }

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
    end = detail::writeDecimal(end, magnitude);
    SlotText text;
    text.append(std::u16string_view(units.data(), static_cast<std::size_t>(end - units.data())));
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
    output.appendInPlace(kAddressTextRoom, [&address](char16_t* end) noexcept { return writeAddress(address, end); });
    return output;
}

void cmdCalculate_Click(CalculateHost& host) noexcept {
    host.replaceIPPortText(calculate(host.hashText(), host.ipPart()).view());
}

}  // namespace kavlo
