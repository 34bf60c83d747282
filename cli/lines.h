// Lines of text from an input, in memory that stays the same however long the input or a line is.
#pragma once

#include "system_io.h"
#include "text.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace kavlo::cli {

struct Line {
    // The line without the spaces and tabs around it (and a CR before its LF): its first kHeadSize
    // bytes, which are the whole of it unless `size` is larger.
    std::string_view head;
    std::uint64_t size;
    std::uint64_t number;  // from 1, blank lines counted
};

// What a text's first bytes say of it: nothing, a UTF-8 byte-order mark (which Notepad writes), or
// UTF-16, which this program does not read. Undecided while `first` is too short to tell and
// more bytes may come.
enum class Mark { None, Utf8, Utf16, Undecided };
[[nodiscard]] Mark markOf(std::string_view first, bool more) noexcept;
inline constexpr std::size_t kUtf8MarkSize = 3;
inline constexpr std::string_view kUtf16Failure = "the text is UTF-16: save it as UTF-8 or ASCII";

// Runs, with its context, before each read from an input, which may wait for a person at a
// console; false ends the input there, when nothing more is wanted of it.
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
        // A list of hashes is twelve characters and a line end a line: such a line is cut out where
        // it must end, with no search and nothing to trim, which halves the reader's work.
        const char* start = buffer_ + begin_;
        if (end_ - begin_ > kHashLength + 1 && !isBlank(start[0]) && !isBlank(start[kHashLength - 1]) &&
            start[kHashLength - 1] != '\r' && !holdsLineFeed(start)) {
            const std::size_t lineEnd = start[kHashLength] == '\n'                                   ? kHashLength
                                        : start[kHashLength] == '\r' && start[kHashLength + 1] == '\n' ? kHashLength + 1
                                                                                                        : 0;
            if (lineEnd != 0) {
                begin_ += lineEnd + 1;
                line = {{start, kHashLength}, kHashLength, ++number_};
                return true;
            }
        }
        return nextAnyLine(line);
    }
    [[nodiscard]] std::string_view failure() const noexcept { return text_.failure(); }

private:
    static bool isBlank(char c) noexcept { return c == ' ' || c == '\t'; }
    // Whether a LF is among the kHashLength bytes at `p` (then they are more than one line): eight
    // and four bytes at a time, XORed with LF and tested for a zero byte, which costs a fraction of a
    // call to memchr per line.
    static bool holdsLineFeed(const char* p) noexcept {
        static_assert(kHashLength == 12);
        std::uint64_t eight;
        std::uint32_t four;
        std::memcpy(&eight, p, 8);
        std::memcpy(&four, p + 8, 4);
        eight ^= 0x0A0A0A0A0A0A0A0AULL;
        four ^= 0x0A0A0A0AU;
        return ((eight - 0x0101010101010101ULL) & ~eight & 0x8080808080808080ULL) != 0 ||
               ((four - 0x01010101U) & ~four & 0x80808080U) != 0;
    }
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

}  // namespace kavlo::cli
