#include "extract.h"

#include "hash_text.h"

#include <algorithm>
#include <cstring>

namespace kavlo::cli {
namespace {

// A word character, as grep's -w has it, is an ASCII letter, digit or '_'; a hex digit is what
// the decoder takes for one.
bool isWord(char c) noexcept {
    const char lower = static_cast<char>(c | 0x20);
    return isHexDigit(c) || (lower >= 'a' && lower <= 'z') || c == '_';
}

// Whether the 24 bytes at `p` are a GUID's first four groups and their dashes.
bool areGuidGroups(const char* p) noexcept {
    for (std::size_t i = 0; i < 24; ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23 ? p[i] != '-' : !isHexDigit(p[i])) return false;
    }
    return true;
}
constexpr std::size_t kGuidGroups = 24;

}  // namespace

HashFinder::HashFinder(ByteSource& input, BeforeRead beforeRead, void* context) noexcept
    : text_(input, beforeRead, context) {}

bool HashFinder::next(FoundHash& hash) noexcept {
    while (true) {
        // Every run of twelve hex digits covers exactly one position in twelve, so only those are
        // looked at: text without hex digits is passed over twelve bytes a step.
        while (probe_ < end_) {
            if (!isHexDigit(buffer_[probe_])) {
                probe_ += kHashLength;
                continue;
            }
            std::size_t start = probe_;
            while (start > 0 && isHexDigit(buffer_[start - 1])) --start;
            std::size_t stop = probe_ + 1;
            while (stop < end_ && isHexDigit(buffer_[stop])) ++stop;
            if (stop == end_ && !text_.atEnd()) {
                // It may go on past what has been read; if it is too long already, only where it ends matters.
                if (stop - start > kHashLength) probe_ = stop - 1;
                break;
            }
            // The next run starts past this one's end, and covers the twelfth position after it.
            probe_ = stop + kHashLength;
            // A run that reaches back to the bytes kept is longer than they are.
            if (stop - start != kHashLength || (start == 0 && !atStart_)) continue;
            if ((start > 0 && isWord(buffer_[start - 1])) || (stop < end_ && isWord(buffer_[stop]))) continue;
            if (start >= kGuidGroups && areGuidGroups(buffer_ + start - kGuidGroups)) continue;
            line_ += static_cast<std::uint64_t>(std::count(buffer_ + counted_, buffer_ + start, '\n'));
            counted_ = start;
            hash = {{buffer_ + start, kHashLength}, line_};
            return true;
        }
        if (text_.atEnd()) return false;
        fill();
    }
}

// Moves the bytes still needed to the front and reads more behind them.
void HashFinder::fill() noexcept {
    static_assert(kContext >= kGuidGroups + kHashLength, "a hash, its GUID groups and the byte before are kept");
    const std::size_t keep = probe_ > kContext ? std::min(probe_ - kContext, end_) : 0;
    if (counted_ < keep) line_ += static_cast<std::uint64_t>(std::count(buffer_ + counted_, buffer_ + keep, '\n'));
    counted_ = std::max(counted_, keep) - keep;
    std::memmove(buffer_, buffer_ + keep, end_ - keep);
    end_ -= keep;
    probe_ -= keep;
    atStart_ = atStart_ && keep == 0;
    // A UTF-8 mark is three bytes that are neither digits nor letters: no hash can take them for
    // its own. UTF-16 text is refused, as the line reader refuses it.
    Mark told = Mark::Undecided;
    end_ += text_.readMore(buffer_, end_, sizeof buffer_, told);
    if (told == Mark::Utf16) end_ = 0;
}

}  // namespace kavlo::cli
