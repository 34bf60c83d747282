// Lines of text from an input, in memory that stays the same however long the input or a line is.
#pragma once

#include "classify.h"
#include "byte_source.h"
#include "text.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kavlo {

struct Line {
    // The line without the spaces and tabs around it (and a CR before its LF): its first kHeadSize
    // bytes, which are the whole of it unless `size` is larger.
    std::string_view head;
    std::uint64_t size;
    std::uint64_t number;  // from 1, blank lines counted
    bool hexDigits;        // known to be twelve hex digits
};

// What a text's first bytes say of it: nothing, a UTF-8 byte-order mark (which Notepad writes), or
// UTF-16, which this program does not read. Undecided while `first` is too short to tell and
// more bytes may come.
enum class Mark { None, Utf8, Utf16, Undecided };
[[nodiscard]] Mark markOf(std::string_view first, bool more) noexcept;
inline constexpr std::size_t kUtf8MarkSize = 3;
inline constexpr std::string_view kUtf16Failure = "the text is UTF-16: save it as UTF-8 or ASCII";

// Runs, with its context, before each read from an input that may wait (for a person at a
// console, say); false ends the input there, when nothing more is wanted of it.
using BeforeRead = bool (*)(void*);

// A text's bytes as both readers take them in (LineReader, and HashFinder of --extract): more
// behind what they hold, and the byte-order mark at the text's start, told however its bytes
// arrive. UTF-16 text is a failure.
class TextInput {
public:
    TextInput(ByteSource& input, BeforeRead beforeRead, void* context) noexcept
        : input_(input), beforeRead_(beforeRead), context_(context) {}

    // Reads more into buffer[end, capacity) and returns how many bytes came: 0 at the end, or on a
    // failure. Until the mark is told, `buffer` holds the text from its start; `told` is the mark
    // on the call that tells it, Mark::Undecided on every other.
    std::size_t readMore(char* buffer, std::size_t end, std::size_t capacity, Mark& told) noexcept;
    [[nodiscard]] bool atEnd() const noexcept { return atEnd_; }
    [[nodiscard]] bool mayWait() const noexcept { return input_.mayWait(); }
    [[nodiscard]] std::string_view failure() const noexcept { return failure_; }

private:
    ByteSource& input_;
    BeforeRead beforeRead_;
    void* context_;
    bool atEnd_ = false;
    bool started_ = false;  // the mark, if any, has been told
    std::string_view failure_;
};

class LineReader {
public:
    static constexpr std::size_t kHeadSize = kShownBytes;

    LineReader(ByteSource& input, BeforeRead beforeRead, void* context) noexcept;

    // The next line that is not blank; false at the end of the input, or when reading failed
    // (`failure()` then says why).
    bool next(Line& line) noexcept {
        // A list of hashes is twelve hex digits and a line end a line: one compare of sixteen bytes
        // takes such a line whole, with no search and nothing to trim.
        const char* start = buffer_ + begin_;
        if (end_ - begin_ >= 16 && startsWithHash(start)) {
            const char* after = start + kHashLength;
            const std::size_t lineEnd = after[0] == '\n' ? 1 : after[0] == '\r' && after[1] == '\n' ? 2 : 0;
            if (lineEnd != 0) {
                begin_ += kHashLength + lineEnd;
                line = {{start, kHashLength}, kHashLength, ++number_, true};
                return true;
            }
        }
        return nextAnyLine(line);
    }
    [[nodiscard]] std::string_view failure() const noexcept { return text_.failure(); }

private:
    static bool isBlank(char c) noexcept { return c == ' ' || c == '\t'; }
    static std::string_view trimmed(std::string_view raw) noexcept;
    bool nextAnyLine(Line& line) noexcept;
    bool fill() noexcept;
    bool longLine(Line& line) noexcept;

    TextInput text_;
    // Lines that fit are handed out from here, unmoved; a longer one is read through.
    char buffer_[1 << 16]{};
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    std::size_t searched_ = 0;  // no line end lies between begin_ and this
    std::uint64_t number_ = 0;
    char head_[kHeadSize]{};
};

}  // namespace kavlo
