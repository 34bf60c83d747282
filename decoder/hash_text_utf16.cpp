// The hash and address texts in UTF-16 code units, as the window has them.
#include "hash_text.h"

namespace kavlo {

template HashVerdict decodeHash(std::u16string_view, Address&) noexcept;
template char16_t* writeAddress(const Address&, char16_t*) noexcept;

}  // namespace kavlo
