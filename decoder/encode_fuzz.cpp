// Fuzzes the address reader of --encode: what it accepts must be an address's own text, and come
// back unchanged through the hash (encode, decode, write the address).
#include "calculate.h"
#include "encode.h"
#include "hash_text.h"

#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const kavlo::AddressReading reading = kavlo::readAddress(text);
    if (!reading.problem.what.empty()) return 0;
    char hash[kavlo::kHashLength];
    kavlo::writeHash(reading.address, hash, std::end(hash));
    kavlo::Address decoded{};
    if (kavlo::decodeHash(std::string_view(hash, sizeof hash), decoded) != kavlo::HashVerdict::Address ||
        decoded != reading.address) {
        std::abort();
    }
    // The only texts accepted are the address's own: no other spelling of the same numbers.
    char written[kavlo::kLongestAddressText];
    if (std::string_view(written, kavlo::writeAddress(decoded, written, std::end(written))) != text) std::abort();
    return 0;
}
