// Finds user hashes in any text (logs, mail, tickets), 64 bytes at a time, in memory that stays the
// same however long the text or a line of it is.
#pragma once

#include "classify.h"
#include "lines.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kavlo {

struct FoundHash {
    std::string_view text;  // the twelve digits
    std::uint64_t line;     // from 1, where lines are counted
};

// A hash is a run of exactly twelve hex digits that is a whole word, the character on each side
// (where there is one) being no ASCII letter, digit or '_', and that is not the last group of a
// GUID: not right after "XXXXXXXX-XXXX-XXXX-XXXX-" in hex digits.
class HashFinder {
public:
    // `beforeRead` runs before each read from `input`; lines are counted where `countLines`.
    HashFinder(ByteSource& input, BeforeRead beforeRead, void* context, bool countLines, TextState& state) noexcept;
    HashFinder(const HashFinder&) = delete;
    HashFinder& operator=(const HashFinder&) = delete;
    ~HashFinder();

    // The next hash, in order of appearance; false at the end of the text, or when reading failed
    // (`failure()` then says why), or when the input has nothing yet (`waiting()`), after which
    // next() goes on where it stopped.
    bool next(FoundHash& hash) noexcept;
    [[nodiscard]] bool waiting() const noexcept { return text_.waiting(); }
    [[nodiscard]] std::string_view failure() const noexcept { return text_.failure(); }
    [[nodiscard]] std::string_view flaw() const noexcept { return text_.flaw(); }  // as the line reader's

private:
    static constexpr std::size_t kBlock = 64;
    // Each block's masks, and the runs of hex digits ending at each byte, kept for the next block's
    // shifts to take their top bits from.
    struct State {
        std::uint64_t hex, hex2, hex4, hex8, hex12, notWord, dash;
    };
    // Scans from next_ (`bytes` of a block, or whole blocks) for the ends of hashes, into hits_.
    // Whole blocks move next_ and state_ on; in a block not whole, only hashes followed by a byte
    // read count.
    void scan(std::size_t bytes) noexcept;
    void fill() noexcept;

    TextState& textState_;
    TextInput text_;
    bool countLines_;
    // A block of what came before next_ (a hash may start there), what has been read, and a block
    // of padding after it.
    char buffer_[kBlock + (1 << 16) + kBlock]{};
    std::size_t next_ = kBlock;  // the next block to scan
    std::size_t end_ = kBlock;   // past what has been read
    std::uint64_t offset_ = 0;   // the text's position of buffer_[kBlock]
    State state_{0, 0, 0, 0, 0, ~0ULL, 0};  // before the text: no word, hex digit or dash
    std::uint64_t hits_ = 0;     // a bit after each hash in the block at hitsAt_ not yet handed out
    std::size_t hitsAt_ = 0;
    std::uint64_t handedOut_ = 0;  // hashes that end before this position of the text were handed out
    std::uint64_t line_ = 1;       // the line at next_, where lines are counted
    std::uint64_t hitsLine_ = 1;   // and at hitsAt_, with the line ends in that block
    std::uint64_t hitLineEnds_ = 0;
    bool ended_ = false;
    bool lineGoesOn_ = false;  // the text read so far ends inside a line
};

}  // namespace kavlo
