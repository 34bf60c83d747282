#include "lines.h"

#include <algorithm>
#include <cstring>

namespace kavlo::cli {
// The line without a CR at its end, and then without the spaces and tabs around it.
std::string_view LineReader::trimmed(std::string_view raw) noexcept {
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    while (!raw.empty() && isBlank(raw.front())) raw.remove_prefix(1);
    while (!raw.empty() && isBlank(raw.back())) raw.remove_suffix(1);
    return raw;
}

LineReader::LineReader(Input& input, void (*beforeRead)(void*), void* context) noexcept
    : input_(input), beforeRead_(beforeRead), context_(context) {}

// Moves what is left to the front and reads more behind it; false when nothing more came.
bool LineReader::fill() noexcept {
    std::memmove(buffer_, buffer_ + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
    beforeRead_(context_);
    const long count = input_.read(buffer_ + end_, sizeof buffer_ - end_);
    if (count <= 0) {
        atEnd_ = true;
        if (count < 0) failure_ = input_.error();
        return false;
    }
    end_ += static_cast<std::size_t>(count);
    if (!started_) {
        started_ = true;
        // Notepad starts UTF-8 with a byte-order mark; UTF-16 is not text this program reads.
        const auto* bytes = reinterpret_cast<const unsigned char*>(buffer_);
        if (end_ >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
            begin_ = 3;
        } else if (end_ >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
            failure_ = "the text is UTF-16: save it as UTF-8 or ASCII";
            atEnd_ = true;
            return false;
        }
    }
    return true;
}

bool LineReader::nextAnyLine(Line& line) noexcept {
    while (failure_.empty()) {
        const char* start = buffer_ + begin_;
        const auto* newline = static_cast<const char*>(std::memchr(start, '\n', end_ - begin_));
        std::string_view raw;
        if (newline) {
            raw = {start, static_cast<std::size_t>(newline - start)};
            begin_ += raw.size() + 1;
        } else if (atEnd_) {
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
        line = {{text.data(), std::min(text.size(), kHeadSize)}, text.size(), number_};
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
    line = {{head_, static_cast<std::size_t>(std::min<std::uint64_t>(headSize, end))}, end, number_};
    return true;
}

}  // namespace kavlo::cli
