// The hash and address texts in bytes, as the command line has them.
#include "hash_text.h"

namespace kavlo {

template HashVerdict decodeHash(std::string_view, Address&) noexcept;
template char* writeAddress(const Address&, char*) noexcept;

}  // namespace kavlo
