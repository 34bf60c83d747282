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
// a UTF-16 one, little- or big-endian (which Windows PowerShell 5.1 writes, and Notepad as
// "Unicode"). Undecided while `first` is too short to tell and more bytes may come.
enum class Mark { None, Utf8, Utf16Little, Utf16Big, Undecided };
[[nodiscard]] Mark markOf(std::string_view first, bool more) noexcept;
inline constexpr std::string_view kOddByteFlaw =
    "the text ends in half a UTF-16 character (an odd byte), which was left out";

// Runs, with its context, before each read from an input that may wait (for a person at a
// console, say); false ends the input there, when nothing more is wanted of it.
using BeforeRead = bool (*)(void*);

// How far one input's text has been read, kept across the readers of it, so that standard input
// named again reads on where the last reading stopped: its mark, once told; the bytes held back
// until they are (the start of a mark, a UTF-16 unit or surrogate pair that a read cut); and its
// lines so far.
struct TextState {
    Mark mark = Mark::Undecided;
    char held[3] = {};
    std::size_t heldSize = 0;
    char16_t highSurrogate = 0;  // a UTF-16 lead surrogate waiting for its trail
    std::uint64_t lines = 0;
};

// A text's bytes as both readers take them in (LineReader, and HashFinder of --extract): more
// behind what they hold, as UTF-8 with no byte-order mark, however the mark's bytes arrive.
// UTF-16 with a mark is made UTF-8 as it is read, each UTF-16 unit one unit still (an unpaired
// surrogate becomes U+FFFD); other text is read as its bytes.
class TextInput {
public:
    static constexpr std::size_t kLeastRoom = 8;  // for a UTF-16 unit and what is held back, made UTF-8

    TextInput(ByteSource& input, BeforeRead beforeRead, void* context, TextState& state) noexcept
        : input_(input), beforeRead_(beforeRead), context_(context), state_(state) {}

    // Reads more into buffer[end, capacity), which has room for kLeastRoom bytes or more, and returns how
    // many bytes came: 0 at the end, on a failure, or when a read brought only what is held back.
    std::size_t readMore(char* buffer, std::size_t end, std::size_t capacity) noexcept;
    [[nodiscard]] bool atEnd() const noexcept { return atEnd_; }
    [[nodiscard]] bool waiting() const noexcept { return waiting_; }  // the last read said kNotYet
    [[nodiscard]] bool mayWait() const noexcept { return input_.mayWait(); }
    // Why reading stopped early; else what is wrong with the text as a whole, once it is all read.
    [[nodiscard]] std::string_view failure() const noexcept { return failure_; }
    [[nodiscard]] std::string_view flaw() const noexcept { return atEnd_ ? flaw_ : std::string_view{}; }

private:
    long readRaw(char* into, std::size_t size) noexcept;
    std::size_t madeUtf8(char* out, char* read, std::size_t count) noexcept;

    ByteSource& input_;
    BeforeRead beforeRead_;
    void* context_;
    TextState& state_;
    bool atEnd_ = false;
    bool waiting_ = false;
    std::string_view failure_;
    std::string_view flaw_;
};

class LineReader {
public:
    static constexpr std::size_t kHeadSize = kShownBytes;
    static constexpr std::size_t kLeastRoom = TextInput::kLeastRoom;

    LineReader(ByteSource& input, BeforeRead beforeRead, void* context, TextState& state) noexcept;
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;
    ~LineReader() { state_.lines = number_; }

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
    // Why reading failed; what is wrong with the text as a whole, once it is all read; empty if nothing.
    [[nodiscard]] std::string_view failure() const noexcept { return text_.failure(); }
    [[nodiscard]] std::string_view flaw() const noexcept { return text_.flaw(); }

private:
    static bool isBlank(char c) noexcept { return c == ' ' || c == '\t'; }
    static std::string_view trimmed(std::string_view raw) noexcept;
    bool nextAnyLine(Line& line) noexcept;
    bool fill() noexcept;
    bool longLine(Line& line) noexcept;

    TextState& state_;
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
