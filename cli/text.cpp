#include "text.h"

namespace kavlo::cli {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The length of the well-formed UTF-8 sequence at the start of `bytes` (of `size`), or 0.
std::size_t sequenceLength(const unsigned char* bytes, std::size_t size) noexcept {
    const unsigned lead = bytes[0];
    const std::size_t length = lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    if (length == 0 || length > size) return 0;
    // The second byte's range excludes overlong forms, surrogates and codes above U+10FFFF.
    const unsigned low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (bytes[1] < low || bytes[1] > high) return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if ((bytes[k] & 0xC0) != 0x80) return 0;
    }
    return length;
}

}  // namespace

std::uint64_t utf16Units(std::string_view text) noexcept {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::uint64_t units = 0;
    for (std::size_t i = 0; i < size; ++units) {
        const unsigned lead = bytes[i++];
        const std::size_t following = lead < 0xC2 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : lead < 0xF5 ? 3 : 0;
        if (following == 0) continue;
        if (following > size - i) return units + 1;  // the text ends inside it: one unit for the rest
        std::uint32_t code = lead & (0x3Fu >> following);
        bool whole = true;
        for (std::size_t k = 0; k < following && whole; ++k) {
            whole = (bytes[i] & 0xC0) == 0x80;
            if (!whole) break;
            code = code << 6 | (bytes[i++] & 0x3F);
            // The first continuation byte is taken before the sequence is seen to be none.
            if (k == 0 && following == 2) whole = code >= 0x20 && (code < 0x360 || code >= 0x380);
            if (k == 0 && following == 3) whole = code >= 0x10 && code < 0x110;
        }
        if (whole && following == 3) ++units;  // above U+FFFF: a surrogate pair
    }
    return units;
}

HashVerdict decodeText(std::string_view head, std::uint64_t size, Address& address) noexcept {
    // No byte makes more than one unit of less than three bytes, so a text of more than 36 bytes
    // is more than twelve units.
    constexpr std::uint64_t kMostBytesOfTwelveUnits = 3 * kHashLength;
    static_assert(LineReader::kHeadSize >= kMostBytesOfTwelveUnits, "a text that may be twelve units is read whole");
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

char* appendEscaped(char* out, std::string_view text, std::uint64_t size, bool quoted) noexcept {
    if (quoted) *out++ = '"';
    text = {text.data(), std::min(text.size(), LineReader::kHeadSize)};
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\t') {
            out = append(out, "\\t");
        } else if (byte == '\\' || (quoted && byte == '"')) {
            *out++ = '\\';
            *out++ = c;
        } else if (byte < 0x20 || byte == 0x7F) {
            out = append(out, "\\x");
            *out++ = kHexDigits[byte >> 4];
            *out++ = kHexDigits[byte & 0xF];
        } else {
            *out++ = c;
        }
    }
    if (quoted) *out++ = '"';
    if (size > text.size()) out = append(out, "...");
    return out;
}

char* appendJson(char* out, std::string_view text, std::uint64_t size) noexcept {
    *out++ = '"';
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        const unsigned byte = bytes[i];
        if (byte == '"' || byte == '\\') {
            *out++ = '\\';
            *out++ = static_cast<char>(byte);
        } else if (byte < 0x20) {
            out = append(out, "\\u00");
            *out++ = kHexDigits[byte >> 4];
            *out++ = kHexDigits[byte & 0xF];
        } else if (byte < 0x80) {
            *out++ = static_cast<char>(byte);
        } else if (const std::size_t length = sequenceLength(bytes + i, text.size() - i); length > 0) {
            out = std::copy_n(text.data() + i, length, out);
            i += length;
            continue;
        } else {
            out = append(out, "\xEF\xBF\xBD");  // U+FFFD
        }
        ++i;
    }
    if (size > text.size()) out = append(out, "...");
    *out++ = '"';
    return out;
}

char* appendNumber(char* out, std::uint64_t value) noexcept {
    char digits[20];
    int count = 0;
    do digits[count++] = static_cast<char>('0' + value % 10); while ((value /= 10) != 0);
    while (count > 0) *out++ = digits[--count];
    return out;
}

}  // namespace kavlo::cli
