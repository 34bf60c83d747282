// The other way round: from an address and port to the hash that encodes it.
#pragma once

#include "calculate.h"

#include <string_view>

namespace kavlo {

// What is wrong with a text that should be "a.b.c.d:port"; each names the part.
enum class AddressProblem {
    None,
    NoPort,            // no colon
    TooFewOctets,      // fewer than four parts before the colon
    TooManyOctets,     // more than four
    TooManyPorts,      // a second colon
    Empty,             // the part `part` is empty
    NotDecimal,        // it holds something other than the digits 0-9: a sign, 0x, a letter, a space
    LeadingZero,       // it starts with 0 and has more digits: an octal form elsewhere
    TooLarge,          // above 255 (octets) or 65535 (the port)
};

struct AddressReading {
    AddressProblem problem = AddressProblem::None;
    int part = 0;  // for the last four problems: 1 to 4 for the octets, 5 for the port
    Address address{};
};

// Reads a dotted quad of four decimal octets (0-255) and a decimal port (0-65535), as in
// "192.168.0.1:8080": digits only, no leading zeros, nothing around it. The first problem met,
// reading left to right, is the answer. Never throws and never allocates.
[[nodiscard]] AddressReading readAddress(std::string_view text) noexcept;

// The problem in words, naming the part: "octet 4 is more than 255".
[[nodiscard]] std::string_view describe(const AddressReading& reading, char (&buffer)[64]) noexcept;

// Writes the twelve upper-case hex digits whose decoding is `address` from `out` on, and returns
// the end.
char* writeHash(const Address& address, char* out) noexcept;

}  // namespace kavlo
