#include "text.h"

#include "classify.h"

#include <algorithm>
#include <bit>
#include <iterator>

namespace kavlo {

Decoded decodeStep(std::string_view text) noexcept {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned lead = bytes[0];
    const std::size_t following = lead < 0xC2 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : lead < 0xF5 ? 3 : 0;
    if (following == 0) return {1, lead < 0x80 ? lead : kNotUtf8};
    char32_t code = lead & (0x3Fu >> following);
    for (std::size_t i = 1; i <= following; ++i) {
        if (i == text.size() || (bytes[i] & 0xC0) != 0x80) return {i, kNotUtf8};
        code = code << 6 | (bytes[i] & 0x3F);
        // The first continuation byte, taken, shows an overlong form, a surrogate or too large a code.
        const bool wrong = following == 2 ? code < 0x20 || (code >= 0x360 && code < 0x380)
                                          : following == 3 && (code < 0x10 || code >= 0x110);
        if (i == 1 && wrong) return {2, kNotUtf8};
    }
    return {following + 1, code};
}

std::uint64_t utf16Units(std::string_view text) noexcept {
    std::uint64_t units = 0;
    for (std::size_t length = 0; !text.empty(); text.remove_prefix(length)) {
        const Decoded step = decodeStep(text);
        length = step.length;
        units += step.code != kNotUtf8 && step.code > 0xFFFF ? 2 : 1;
    }
    return units;
}

char* writeDecimal(std::uint64_t value, char* out) noexcept {
    char digits[20];
    char* first = std::end(digits);
    do {
        *--first = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    return std::copy(first, std::end(digits), out);
}

char* putUtf8(char32_t code, char* out) noexcept {
    // A lead byte that says how many follow, then six bits in each of those.
    const int following = code < 0x80 ? 0 : code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
    *out++ = static_cast<char>((0xF0E0C000u >> (8 * following) & 0xFF) | code >> (6 * following));
    for (int k = following - 1; k >= 0; --k) *out++ = static_cast<char>(0x80 | (code >> (6 * k) & 0x3F));
    return out;
}

char* utf8FromUtf16Bytes(const char* in, std::size_t units, bool bigEndian, char16_t& lead, char* out) noexcept {
    const auto* bytes = reinterpret_cast<const unsigned char*>(in);
    for (std::size_t i = 0; i < units;) {
        if (lead == 0) {  // ASCII, as most text is, sixteen units at a time where the processor can
            const std::size_t ascii = asciiFromUtf16(in + 2 * i, units - i, bigEndian, out);
            i += ascii;
            out += ascii;
            if (i == units) break;
        }
        const unsigned first = bytes[2 * i];
        const unsigned second = bytes[2 * i + 1];
        const auto unit = static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
        ++i;
        const bool trail = unit >= 0xDC00 && unit <= 0xDFFF;
        if (lead != 0 && trail) {
            out = putUtf8(0x10000 + ((char32_t{lead} - 0xD800u) << 10) + (unit - 0xDC00u), out);
            lead = 0;
            continue;
        }
        if (lead != 0) out = putUtf8(0xFFFD, out);  // a lead with no trail
        lead = unit >= 0xD800 && unit <= 0xDBFF ? unit : 0;
        if (lead == 0) out = putUtf8(trail ? 0xFFFD : unit, out);
    }
    return out;
}

char* utf8FromUtf16(const char16_t* text, char* out) noexcept {
    static_assert(std::endian::native == std::endian::little, "a char16_t's low byte is stored first");
    std::size_t units = 0;
    while (text[units] != 0) ++units;
    char16_t lead = 0;
    out = utf8FromUtf16Bytes(reinterpret_cast<const char*>(text), units, false, lead, out);
    return lead != 0 ? putUtf8(0xFFFD, out) : out;
}

HashVerdict decodeText(std::string_view head, std::uint64_t size, Address& address) noexcept {
    // No byte makes more than one unit of less than three bytes, so a text of more than 36 bytes
    // is more than twelve units.
    constexpr std::uint64_t kMostBytesOfTwelveUnits = 3 * kHashLength;
    static_assert(kShownBytes >= kMostBytesOfTwelveUnits, "a text that may be twelve units is kept whole");
    if (size > kMostBytesOfTwelveUnits) return HashVerdict::WrongLength;
    // Twelve hex digits are twelve ASCII bytes, so the bytes are read directly first; only a text
    // that is not an address can hold other characters, whose units then decide its message.
    const HashVerdict verdict = decodeHash(head, address);
    if (verdict == HashVerdict::Address) return verdict;
    if (std::none_of(head.begin(), head.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
        return verdict;
    }
    return utf16Units(head) == kHashLength ? HashVerdict::NotHex : HashVerdict::WrongLength;
}

}  // namespace kavlo
