#include "encode.h"

#include <charconv>
#include <cstdint>

namespace kavlo {
namespace {

// What is wrong with one octet or the port (empty if nothing), and its value. from_chars takes no
// sign, space or base prefix into an unsigned number; it must take the whole text.
std::string_view readNumber(std::string_view text, std::uint32_t largest, std::uint32_t& value) noexcept {
    if (text.empty()) return "is empty";
    const std::from_chars_result read = std::from_chars(text.data(), text.data() + text.size(), value);
    if (read.ptr != text.data() + text.size()) return "is not a decimal number";
    if (text.size() > 1 && text[0] == '0') return "has a leading zero";  // an octal form elsewhere
    if (read.ec != std::errc{} || value > largest) return largest == 255 ? "is more than 255" : "is more than 65535";
    return {};
}

}  // namespace

AddressReading readAddress(std::string_view text) noexcept {
    constexpr std::string_view kParts[] = {"octet 1 ", "octet 2 ", "octet 3 ", "octet 4 ", "the port "};
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return {{"", "no port: give it after a colon, as in 192.168.0.1:8080"}};
    // (Views made by hand: substr's range check would bring in the runtime's exceptions.)
    std::string_view address(text.data(), colon);
    const std::string_view port(text.data() + colon + 1, text.size() - colon - 1);
    AddressReading reading;
    for (std::size_t part = 0; part < 4; ++part) {
        const std::size_t dot = address.find('.');
        if (dot == std::string_view::npos && part < 3) return {{"", "the address has fewer than four octets"}};
        if (dot != std::string_view::npos && part == 3) return {{"", "the address has more than four octets"}};
        std::uint32_t value = 0;
        const std::string_view octet(address.data(), dot == std::string_view::npos ? address.size() : dot);
        if (const std::string_view what = readNumber(octet, 255, value); !what.empty()) return {{kParts[part], what}};
        reading.address.octets[part] = static_cast<std::uint8_t>(value);
        address.remove_prefix(dot == std::string_view::npos ? address.size() : dot + 1);
    }
    if (port.find(':') != std::string_view::npos) return {{"", "more than one port"}};
    std::uint32_t value = 0;
    if (const std::string_view what = readNumber(port, 65535, value); !what.empty()) return {{kParts[4], what}};
    reading.address.port = static_cast<std::uint16_t>(value);
    return reading;
}

char* writeHash(const Address& address, char* first, const char* last) noexcept {
    if (last - first < static_cast<std::ptrdiff_t>(kHashLength)) return first;
    // The address's last octet comes first; the port last, most significant digit first.
    const std::uint8_t bytes[] = {address.octets[3], address.octets[2], address.octets[1], address.octets[0],
                                  static_cast<std::uint8_t>(address.port >> 8), static_cast<std::uint8_t>(address.port)};
    for (std::uint8_t byte : bytes) {
        *first++ = kHexAlphabet[byte >> 4];
        *first++ = kHexAlphabet[byte & 0xF];
    }
    return first;
}

}  // namespace kavlo
