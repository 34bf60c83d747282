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

LineReader::LineReader(ByteSource& input, BeforeRead beforeRead, void* context) noexcept
    : text_(input, beforeRead, context) {}

std::size_t TextInput::readMore(char* buffer, std::size_t end, std::size_t capacity, Mark& told) noexcept {
    told = Mark::Undecided;
    const long count = !input_.mayWait() || beforeRead_(context_) ? input_.read(buffer + end, capacity - end) : 0;
    if (count <= 0) {
        atEnd_ = true;
        if (count < 0) failure_ = input_.error();
    }
    const std::size_t read = count > 0 ? static_cast<std::size_t>(count) : 0;
    if (!started_ && failure_.empty() && input_.mayHaveMark()) {
        told = markOf({buffer, end + read}, !atEnd_);
        started_ = told != Mark::Undecided;
        if (told == Mark::Utf16) {
            failure_ = kUtf16Failure;
            atEnd_ = true;
        }
    }
    return read;
}

Mark markOf(std::string_view first, bool more) noexcept {
    constexpr std::string_view kUtf8 = "\xEF\xBB\xBF";
    constexpr std::string_view kUtf16Little = "\xFF\xFE";
    constexpr std::string_view kUtf16Big = "\xFE\xFF";
    if (first.starts_with(kUtf8)) return Mark::Utf8;
    if (first.starts_with(kUtf16Little) || first.starts_with(kUtf16Big)) return Mark::Utf16;
    const bool maybe = !first.empty() && (kUtf8.starts_with(first) || kUtf16Little.starts_with(first) ||
                                          kUtf16Big.starts_with(first));
    return maybe && more ? Mark::Undecided : Mark::None;
}

// Moves what is left to the front and reads more behind it; false when nothing more came.
bool LineReader::fill() noexcept {
    std::memmove(buffer_, buffer_ + begin_, end_ - begin_);
    end_ -= begin_;
    searched_ -= std::min(searched_, begin_);
    begin_ = 0;
    Mark told = Mark::Undecided;
    const std::size_t count = text_.readMore(buffer_, end_, sizeof buffer_, told);
    end_ += count;
    if (told == Mark::Utf8) begin_ = kUtf8MarkSize;
    return count > 0 && text_.failure().empty();
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
        } else if (begin_ == 0 && end_ == sizeof buffer_) {
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
