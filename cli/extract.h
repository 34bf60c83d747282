// Finds user hashes in any text (logs, mail, tickets), in memory that stays the same however long
// the text or a line of it is.
#pragma once

#include "lines.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kavlo::cli {

struct FoundHash {
    std::string_view text;  // the twelve digits
    std::uint64_t line;     // from 1
};

// A hash is a run of exactly twelve hex digits that is a whole word, the character on each side
// (where there is one) being no ASCII letter, digit or '_', and that is not the last group of a
// GUID: not right after "XXXXXXXX-XXXX-XXXX-XXXX-" in hex digits.
class HashFinder {
public:
    HashFinder(ByteSource& input, BeforeRead beforeRead, void* context) noexcept;

    // The next hash, in order of appearance; false at the end of the text, or when reading failed
    // (`failure()` then says why).
    bool next(FoundHash& hash) noexcept;
    [[nodiscard]] std::string_view failure() const noexcept { return text_.failure(); }

private:
    // What is kept before the next position looked at, when the buffer moves on: a hash there,
    // the character before it and the GUID groups before that.
    static constexpr std::size_t kContext = 3 * kHashLength;
    void fill() noexcept;

    TextInput text_;
    char buffer_[kContext + (1 << 16)]{};
    std::size_t probe_ = kHashLength - 1;  // the next position looked at
    std::size_t end_ = 0;
    std::size_t counted_ = 0;          // line ends are counted up to here
    std::uint64_t line_ = 1;
    bool atStart_ = true;              // buffer_[0] is the text's first byte
};

}  // namespace kavlo::cli
