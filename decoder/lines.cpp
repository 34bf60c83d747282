#include "lines.h"

#include <algorithm>
#include <cstring>

namespace kavlo {
// The line without a CR at its end, and then without the spaces and tabs around it.
std::string_view LineReader::trimmed(std::string_view raw) noexcept {
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    while (!raw.empty() && isBlank(raw.front())) raw.remove_prefix(1);
    while (!raw.empty() && isBlank(raw.back())) raw.remove_suffix(1);
    return raw;
}

LineReader::LineReader(ByteSource& input, BeforeRead beforeRead, void* context, TextState& state) noexcept
    : state_(state), text_(input, beforeRead, context, state), number_(state.lines) {}

long TextInput::readRaw(char* into, std::size_t size) noexcept {
    const long count = !input_.mayWait() || beforeRead_(context_) ? input_.read(into, size) : 0;
    waiting_ = count == ByteSource::kNotYet;
    if (count <= 0 && !waiting_) {
        atEnd_ = true;
        if (count < 0) failure_ = input_.error();
    }
    return count > 0 ? count : 0;
}

// UTF-16 to UTF-8 in the buffer itself: each read goes to the end of the room, a third of it at
// the most, and is made UTF-8 from its start, which it never passes (three bytes at the most for
// each unit of two). The bytes held back from the last read go just before it.
// cppcheck-suppress constParameter ; what is held back is written just before it
std::size_t TextInput::madeUtf8(char* out, char* read, std::size_t count) noexcept {
    const bool big = state_.mark == Mark::Utf16Big;
    char* raw = read - state_.heldSize;
    std::copy_n(state_.held, state_.heldSize, raw);
    count += state_.heldSize;
    state_.heldSize = count % 2;
    if (state_.heldSize != 0) state_.held[0] = raw[count - 1];
    char* end = utf8FromUtf16Bytes(raw, count / 2, big, state_.highSurrogate, out);
    if (atEnd_ && state_.highSurrogate != 0) end = putUtf8(0xFFFD, end);
    if (atEnd_ && state_.heldSize != 0) flaw_ = kOddByteFlaw;
    if (atEnd_) state_.highSurrogate = 0, state_.heldSize = 0;
    return static_cast<std::size_t>(end - out);
}

std::size_t TextInput::readMore(char* buffer, std::size_t end, std::size_t capacity) noexcept {
    char* out = buffer + end;
    const std::size_t room = capacity - end;
    if (!input_.mayHaveMark()) state_.mark = Mark::None;
    if (state_.mark == Mark::None || state_.mark == Mark::Utf8) {
        return static_cast<std::size_t>(readRaw(out, room));
    }
    // UTF-16, or text whose mark is not told yet, which may be: a third of the room at the most
    // (less what is held back), so that it fits once made UTF-8.
    const std::size_t most = room / 3 * 2 - state_.heldSize;
    if (state_.mark != Mark::Undecided) {
        const auto count = static_cast<std::size_t>(readRaw(out + room - most, most));
        return madeUtf8(out, out + room - most, count);
    }
    std::copy_n(state_.held, state_.heldSize, out);
    const std::size_t have = state_.heldSize + static_cast<std::size_t>(readRaw(out + state_.heldSize, most));
    state_.mark = failure_.empty() ? markOf({out, have}, !atEnd_) : Mark::None;
    state_.heldSize = 0;
    switch (state_.mark) {
        case Mark::Undecided: state_.heldSize = have; std::copy_n(out, have, state_.held); return 0;
        case Mark::None: return have;
        case Mark::Utf8: std::memmove(out, out + 3, have - 3); return have - 3;
        case Mark::Utf16Little:
        case Mark::Utf16Big: std::memmove(out + room - (have - 2), out + 2, have - 2); return madeUtf8(out, out + room - (have - 2), have - 2);
    }
    return have;
}

Mark markOf(std::string_view first, bool more) noexcept {
    constexpr std::string_view kUtf8 = "\xEF\xBB\xBF";
    constexpr std::string_view kUtf16Little = "\xFF\xFE";
    constexpr std::string_view kUtf16Big = "\xFE\xFF";
    if (first.starts_with(kUtf8)) return Mark::Utf8;
    if (first.starts_with(kUtf16Little)) return Mark::Utf16Little;
    if (first.starts_with(kUtf16Big)) return Mark::Utf16Big;
    // Nothing yet (a fed source's first read) may start any of them.
    const bool maybe = kUtf8.starts_with(first) || kUtf16Little.starts_with(first) || kUtf16Big.starts_with(first);
    return maybe && more ? Mark::Undecided : Mark::None;
}

// Moves what is left to the front and reads more behind it; false when nothing came and nothing
// more will.
bool LineReader::fill() noexcept {
    std::memmove(buffer_, buffer_ + begin_, end_ - begin_);
    end_ -= begin_;
    searched_ -= std::min(searched_, begin_);
    begin_ = 0;
    const std::size_t count = text_.readMore(buffer_, end_, sizeof buffer_);
    end_ += count;
    return text_.failure().empty() && (count > 0 || !text_.atEnd());
}

bool LineReader::nextAnyLine(Line& line) noexcept {
    while (text_.failure().empty()) {
        const char* start = buffer_ + begin_;
        // What an earlier look found no line end in is not searched again: a long line that
        // arrives in small pieces costs as much as one that arrives whole.
        const std::size_t from = std::max(begin_, searched_);
        const auto* newline = static_cast<const char*>(std::memchr(buffer_ + from, '\n', end_ - from));
        searched_ = newline ? 0 : end_;
        std::string_view raw;
        if (newline) {
            raw = {start, static_cast<std::size_t>(newline - start)};
            begin_ += raw.size() + 1;
        } else if (text_.atEnd()) {
            if (begin_ == end_) return false;
            raw = {start, end_ - begin_};  // the last line, without a line end
            begin_ = end_;
        } else if (begin_ == 0 && sizeof buffer_ - end_ < kLeastRoom) {  // a line as long as the buffer
            if (longLine(line)) return true;
            continue;
        } else {
            fill();
            continue;
        }
        ++number_;
        const std::string_view text = trimmed(raw);
        if (text.empty()) continue;
        line = {{text.data(), std::min(text.size(), kHeadSize)}, text.size(), number_, false};
        return true;
    }
    return false;
}

// A line longer than the buffer, read through to its end: its head is kept, its size counted.
// False if it was blank.
bool LineReader::longLine(Line& line) noexcept {
    std::uint64_t size = 0;        // bytes since the first that is not blank
    std::uint64_t end = 0;         // the size up to the last byte that is not blank
    std::uint64_t endBefore = 0;   // the same, before that byte
    std::size_t headSize = 0;
    char last = '\0';
    bool ended = false;
    while (!ended) {
        const char* at = buffer_ + begin_;
        const char* stop = buffer_ + end_;
        if (const void* newline = std::memchr(at, '\n', end_ - begin_)) {
            stop = static_cast<const char*>(newline);
            ended = true;
        }
        for (; at != stop; ++at) {
            last = *at;
            if (size == 0 && isBlank(last)) continue;
            if (headSize < kHeadSize) head_[headSize++] = last;
            ++size;
            if (!isBlank(last)) {
                endBefore = end;
                end = size;
            }
        }
        begin_ = static_cast<std::size_t>(stop - buffer_) + (ended ? 1 : 0);
        if (!ended && !fill()) ended = true;
    }
    ++number_;
    if (last == '\r') end = endBefore;  // a CR right before the line end is not the line's
    if (end == 0) return false;
    line = {{head_, static_cast<std::size_t>(std::min<std::uint64_t>(headSize, end))}, end, number_, false};
    return true;
}

}  // namespace kavlo
