#include "encode.h"

#include <algorithm>
#include <cstdint>

namespace kavlo {
namespace {

bool isDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// One octet or the port: the number, or what is wrong with it.
AddressProblem readNumber(std::string_view text, std::uint32_t largest, std::uint32_t& value) noexcept {
    if (text.empty()) return AddressProblem::Empty;
    for (char c : text) {
        if (!isDigit(c)) return AddressProblem::NotDecimal;
    }
    if (text.size() > 1 && text[0] == '0') return AddressProblem::LeadingZero;
    if (text.size() > 5) return AddressProblem::TooLarge;  // and no overflow below
    value = 0;
    for (char c : text) value = value * 10 + static_cast<std::uint32_t>(c - '0');
    return value > largest ? AddressProblem::TooLarge : AddressProblem::None;
}

}  // namespace

AddressReading readAddress(std::string_view text) noexcept {
    AddressReading reading;
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return {AddressProblem::NoPort, 0, {}};
    // (Views made by hand: substr's range check would bring in the runtime's exceptions.)
    std::string_view address(text.data(), colon);
    const std::string_view port(text.data() + colon + 1, text.size() - colon - 1);
    for (int part = 1; part <= 4; ++part) {
        const std::size_t dot = address.find('.');
        if (dot == std::string_view::npos && part < 4) return {AddressProblem::TooFewOctets, 0, {}};
        if (dot != std::string_view::npos && part == 4) return {AddressProblem::TooManyOctets, 0, {}};
        std::uint32_t value = 0;
        const std::string_view octet(address.data(), dot == std::string_view::npos ? address.size() : dot);
        if (const AddressProblem problem = readNumber(octet, 255, value); problem != AddressProblem::None) {
            return {problem, part, {}};
        }
        reading.address.octets[static_cast<std::size_t>(part - 1)] = static_cast<std::uint8_t>(value);
        address.remove_prefix(dot == std::string_view::npos ? address.size() : dot + 1);
    }
    if (port.find(':') != std::string_view::npos) return {AddressProblem::TooManyPorts, 0, {}};
    std::uint32_t value = 0;
    if (const AddressProblem problem = readNumber(port, 65535, value); problem != AddressProblem::None) {
        return {problem, 5, {}};
    }
    reading.address.port = static_cast<std::uint16_t>(value);
    return reading;
}

std::string_view describe(const AddressReading& reading, char (&buffer)[64]) noexcept {
    const char* whole = nullptr;
    switch (reading.problem) {
        case AddressProblem::None: return {};
        case AddressProblem::NoPort: whole = "no port: give it after a colon, as in 192.168.0.1:8080"; break;
        case AddressProblem::TooFewOctets: whole = "the address has fewer than four octets"; break;
        case AddressProblem::TooManyOctets: whole = "the address has more than four octets"; break;
        case AddressProblem::TooManyPorts: whole = "more than one port"; break;
        default: break;
    }
    if (whole) return whole;
    std::string_view what;
    switch (reading.problem) {
        case AddressProblem::Empty: what = "is empty"; break;
        case AddressProblem::NotDecimal: what = "is not a decimal number"; break;
        case AddressProblem::LeadingZero: what = "has a leading zero"; break;
        default: what = reading.part == 5 ? "is more than 65535" : "is more than 255"; break;
    }
    const std::string_view part = reading.part == 5 ? "the port " : "octet N ";
    char* end = std::copy(part.begin(), part.end(), buffer);
    if (reading.part != 5) end[-2] = static_cast<char>('0' + reading.part);
    end = std::copy(what.begin(), what.end(), end);
    return {buffer, static_cast<std::size_t>(end - buffer)};
}

char* writeHash(const Address& address, char* out) noexcept {
    constexpr char kDigits[] = "0123456789ABCDEF";
    // The address's last octet comes first; the port last, most significant digit first.
    const std::uint8_t bytes[] = {address.octets[3], address.octets[2], address.octets[1], address.octets[0],
                                  static_cast<std::uint8_t>(address.port >> 8), static_cast<std::uint8_t>(address.port)};
    for (std::uint8_t byte : bytes) {
        *out++ = kDigits[byte >> 4];
        *out++ = kDigits[byte & 0xF];
    }
    return out;
}

}  // namespace kavlo
