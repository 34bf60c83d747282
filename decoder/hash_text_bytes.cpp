// The hash in bytes, as the command line and the page have it.
#include "hash_text.h"

namespace kavlo {

template bool isHexDigit(char) noexcept;
template HashVerdict decodeHash(std::string_view, Address&) noexcept;

}  // namespace kavlo
