#include "writer.h"

#include "calculate.h"
#include "text.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>

namespace kavlo::cli {
namespace {

// Whether a terminal acts on the code point rather than shows it: the C0 and C1 controls and DEL
// (ESC and CSI start commands), and the invisible characters that reorder or hide text: the Arabic
// letter mark, zero-width spaces, joiners and direction marks, the line and paragraph separators,
// embeddings, overrides and isolates, invisible operators, the byte-order mark and the
// interlinear annotations.
bool actsOnTerminal(char32_t code) noexcept {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x061C || (code >= 0x200B && code <= 0x200F) ||
           (code >= 0x2028 && code <= 0x202E) || (code >= 0x2060 && code <= 0x206F) || code == 0xFEFF ||
           (code >= 0xFFF9 && code <= 0xFFFB);
}

void putHex(Writer& out, std::string_view prefix, std::uint32_t value, int digits) noexcept {
    out.put(prefix);
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out.put(kHexAlphabet[value >> shift & 0xF]);
}

}  // namespace

bool Writer::flush() noexcept {
    writeOut(used_);
    return !failed_;
}

// Writes the block's first `count` bytes, and moves the rest to its front.
void Writer::writeOut(std::size_t count) noexcept {
    if (!failed_ && count > 0) failed_ = !output_.write({block_, count});
    std::memmove(block_, block_ + count, used_ - count);
    used_ -= count;
}

void Writer::makeRoom(std::size_t room) noexcept {
    const auto lineEnd = std::find(std::make_reverse_iterator(block_ + used_), std::make_reverse_iterator(block_), '\n');
    const auto whole = static_cast<std::size_t>(lineEnd.base() - block_);
    writeOut(sizeof block_ - (used_ - whole) >= room ? whole : used_);
}

void Writer::putNumber(std::uint64_t value) noexcept {
    putInPlace<std::numeric_limits<std::uint64_t>::digits10 + 1>([value](char* first, char*) { return writeDecimal(value, first); });
}

void Writer::putPiece(std::string_view bytes) noexcept {
    if (bytes.size() > sizeof block_ - used_) return putThrough(bytes);
    std::copy(bytes.begin(), bytes.end(), block_ + used_);
    used_ += bytes.size();
}

// A piece longer than the room left: the whole lines are written first, and a line longer than the
// block fills it and is written, as often as it takes.
void Writer::putThrough(std::string_view bytes) noexcept {
    makeRoom(bytes.size());
    while (!bytes.empty()) {
        const std::size_t count = std::min(bytes.size(), sizeof block_ - used_);
        std::copy_n(bytes.begin(), count, block_ + used_);
        used_ += count;
        bytes.remove_prefix(count);
        if (used_ == sizeof block_ && !flush()) return;
    }
}

void Writer::putPiece(const Escaped& escaped) noexcept {
    const bool json = escaped.style == Escaped::Json;
    std::string_view text = escaped.text;
    if (escaped.style == Escaped::Quoted) putPiece('"');
    for (std::size_t length = 1; !text.empty(); text.remove_prefix(length)) {
        const Decoded step = decodeStep(text);
        length = step.length;
        if (text[0] == '\\' || (text[0] == '"' && escaped.style != Escaped::Terminal)) {
            put('\\', text[0]);
        } else if (text[0] == '\t' && !json) {
            putPiece("\\t");
        } else if (step.code == kNotUtf8 && json) {
            putPiece("\xEF\xBF\xBD");  // U+FFFD
        } else if (step.code == kNotUtf8 || actsOnTerminal(step.code)) {
            if (json) putHex(*this, "\\u", step.code, 4);  // every such code point is below U+10000
            for (std::size_t k = 0; k < length && !json; ++k) putHex(*this, "\\x", static_cast<unsigned char>(text[k]), 2);
        } else {
            putPiece(firstBytes(text, length));
        }
    }
    if (escaped.style == Escaped::Quoted) putPiece('"');
}

}  // namespace kavlo::cli
