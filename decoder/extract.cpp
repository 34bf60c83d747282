#include "extract.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace kavlo {
namespace {

// What lies `count` (1 to 63) bytes back of each byte: `mask` shifted up, its lowest bits from the
// top of `before`, the block before's.
constexpr std::uint64_t back(std::uint64_t mask, std::uint64_t before, unsigned count) noexcept {
    return mask << count | before >> (64 - count);
}

}  // namespace

HashFinder::HashFinder(ByteSource& input, BeforeRead beforeRead, void* context, bool countLines, TextState& state) noexcept
    : textState_(state), text_(input, beforeRead, context, state), countLines_(countLines), line_(state.lines + 1),
      hitsLine_(line_) {}

// The lines the text had, for a reading of the same input after this one: those that ended, and
// the one it ended in.
HashFinder::~HashFinder() { textState_.lines = line_ - 1 + (lineGoesOn_ ? 1 : 0); }

bool HashFinder::next(FoundHash& hash) noexcept {
    while (true) {
        if (hits_ != 0) {
            const auto at = static_cast<unsigned>(std::countr_zero(hits_));
            hits_ &= hits_ - 1;
            const std::uint64_t lineEnds = hitLineEnds_ & ((std::uint64_t{1} << at) - 1);  // none unless counted
            hash = {{buffer_ + hitsAt_ + at - kHashLength, kHashLength}, hitsLine_ + (lineEnds ? std::popcount(lineEnds) : 0)};
            return true;
        }
        if (ended_) return false;
        if (end_ - next_ >= kBlock) {
            scan(kBlock);
        } else if (text_.atEnd()) {
            ended_ = true;
            scan(kBlock);  // the rest, with the padding after it for the text's end
        } else if (handedOut_ < offset_ + end_ - kBlock && text_.mayWait()) {
            scan(end_ - next_);  // before a read that may wait for a person
        } else {
            fill();
            if (text_.waiting()) return false;
        }
    }
}

void HashFinder::scan(std::size_t bytes) noexcept {
    if (end_ < next_ + kBlock) std::fill(buffer_ + end_, buffer_ + next_ + kBlock, ' ');  // no word, hex or dash
    // Whole blocks are scanned until one holds a hash, the state held where it is quickest to reach.
    State was = state_;
    Masks masks{};
    std::uint64_t hits = 0;
    std::uint64_t start = 0;
    do {
        masks = classify(buffer_ + next_, countLines_);
        State now{masks.hex, 0, 0, 0, 0, ~masks.word, masks.dash};
        // The runs of hex digits that end at each byte: two, four, eight and twelve long.
        now.hex2 = now.hex & back(now.hex, was.hex, 1);
        now.hex4 = now.hex2 & back(now.hex2, was.hex2, 2);
        now.hex8 = now.hex4 & back(now.hex4, was.hex4, 4);
        now.hex12 = now.hex8 & back(now.hex4, was.hex4, 8);
        // A hash ends before a byte that is no word byte, after twelve hex digits after no word byte...
        hits = now.notWord & back(now.hex12, was.hex12, 1) & back(now.notWord, was.notWord, 13);
        // ...unless "XXXXXXXX-XXXX-XXXX-XXXX-" comes before it, the last group of a GUID: dashes 13,
        // 18, 23 and 28 bytes back, four hex digits ending 14, 19 and 24 back, and eight 29 back.
        if (hits != 0) {
            std::uint64_t guid = back(now.hex8, was.hex8, 29);
            for (unsigned dash = 13; dash <= 28; dash += 5) {
                guid &= back(now.dash, was.dash, dash) & (dash == 28 ? ~0ULL : back(now.hex4, was.hex4, dash + 1));
            }
            hits &= ~guid;
        }
        // None handed out before; in a block not whole, only those followed by a byte read, and the
        // block is scanned again when it is whole.
        start = offset_ + next_ - kBlock;
        if (handedOut_ > start) hits &= handedOut_ - start >= kBlock ? 0 : ~0ULL << (handedOut_ - start);
        hitsAt_ = next_;
        hitsLine_ = line_;
        if (bytes < kBlock) {
            hits &= (std::uint64_t{1} << bytes) - 1;
            break;
        }
        was = now;
        next_ += kBlock;
        if (countLines_) line_ += static_cast<std::uint64_t>(std::popcount(masks.lineEnds));
    } while (hits == 0 && next_ + kBlock <= end_);
    state_ = was;
    hits_ = hits;
    hitLineEnds_ = masks.lineEnds;
    handedOut_ = start + bytes;
}

// Moves the block before next_, where a hash may start, and what follows it to the front, and reads
// more behind them.
void HashFinder::fill() noexcept {
    const std::size_t keep = next_ - kBlock;
    std::memmove(buffer_, buffer_ + keep, end_ - keep);
    offset_ += keep;
    next_ -= keep;
    end_ -= keep;
    const std::size_t count = text_.readMore(buffer_ + kBlock, end_ - kBlock, sizeof buffer_ - 2 * kBlock);
    end_ += count;
    if (count > 0) lineGoesOn_ = buffer_[end_ - 1] != '\n';
}

}  // namespace kavlo
