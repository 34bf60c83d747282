// The hash in bytes, as the command line has it, and the address text both programs write.
#include "hash_text.h"

#include <charconv>

namespace kavlo {

template bool isHexDigit(char) noexcept;
template HashVerdict decodeHash(std::string_view, Address&) noexcept;

char* writeAddress(const Address& address, char* first, char* last) noexcept {
    const unsigned fields[] = {address.octets[0], address.octets[1], address.octets[2], address.octets[3], address.port};
    constexpr std::string_view kAfter = "...:";  // what follows each field but the port
    char* at = first;
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        const std::to_chars_result written = std::to_chars(at, last, fields[i]);
        if (written.ec != std::errc{} || (i < kAfter.size() && written.ptr == last)) return first;
        at = written.ptr;
        if (i < kAfter.size()) *at++ = kAfter[i];
    }
    return at;
}

}  // namespace kavlo
