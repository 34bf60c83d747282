// The other way round: from an address and port to the hash that encodes it.
#pragma once

#include "calculate.h"

#include <string_view>

namespace kavlo {

// What is wrong with a text that should be "a.b.c.d:port", in words: the part it is in, where it is
// in one, with a space after it ("octet 4 ", "the port "), then what is wrong ("is more than
// 255"). Nothing is wrong where `what` is empty.
struct ProblemWords {
    std::string_view part;
    std::string_view what;
};

struct AddressReading {
    ProblemWords problem;
    Address address{};
};

// Reads a dotted quad of four decimal octets (0-255) and a decimal port (0-65535), as in
// "192.168.0.1:8080": digits only, no leading zeros, nothing around it. The first problem met,
// reading left to right, is the answer. Never throws and never allocates.
[[nodiscard]] AddressReading readAddress(std::string_view text) noexcept;

// Writes the twelve upper-case hex digits whose decoding is `address` into [first, last) and
// returns their end; writes nothing and returns `first` if they do not fit.
char* writeHash(const Address& address, char* first, const char* last) noexcept;

}  // namespace kavlo
