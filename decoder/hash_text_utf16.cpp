// The hash in UTF-16 code units, as the window has it.
#include "hash_text.h"

namespace kavlo {

template bool isHexDigit(char16_t) noexcept;
template HashVerdict decodeHash(std::u16string_view, Address&) noexcept;

}  // namespace kavlo
