// All output of the command-line program: one Writer for each of standard output and error, and
// texts written into it escaped for a terminal, a TSV column or JSON.
#pragma once

#include "system_io.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <type_traits>

namespace kavlo::cli {

// A text put escaped. For a terminal and a TSV column (in double quotes where Quoted): each byte
// of a code point that a terminal acts on rather than shows (controls, and the invisible characters
// that reorder or hide text) and each byte that is not UTF-8 as \xHH, a tab as \t, and a backslash
// and (Quoted) a double quote after a backslash. For the inside of a JSON string: the same code
// points as \uXXXX, '"' and '\' escaped, and each byte that is not UTF-8 as U+FFFD.
struct Escaped {
    std::string_view text;
    enum Style { Terminal, Quoted, Json } style = Terminal;
};

// Standard output or error, gathered in a block of its own and written as it fills, so that a
// piece of any length can be put. Each write ends at a line's end, unless one line is longer than
// the block, so that programs appending to one file never cut each other's lines. Once a write has
// failed, what is put is dropped.
class Writer {
public:
    static constexpr std::size_t kBlockSize = 1 << 16;

    explicit Writer(Output::Stream stream) noexcept : output_(stream) {}

    // Puts each piece in turn: a text, a character, a number (in decimal), or an Escaped text.
    template <typename... Pieces>
    void put(const Pieces&... pieces) noexcept { (putPiece(pieces), ...); }
    // Lets `write` fill the block in place: it gets the free space, `Room` bytes or more, as
    // [first, last), writes nothing past `last`, and returns where it stopped.
    template <std::size_t Room, typename Write>
    void putInPlace(Write&& write) noexcept {
        static_assert(Room <= kBlockSize, "the block holds the room asked for");
        if (sizeof block_ - used_ < Room) makeRoom(Room);
        used_ = static_cast<std::size_t>(write(block_ + used_, block_ + sizeof block_) - block_);
    }
    // Writes what has been put; false if the output cannot be written, now or before.
    bool flush() noexcept;
    // Drops what is put from now on.
    void discard() noexcept { failed_ = true; }
    [[nodiscard]] bool failed() const noexcept { return failed_; }
    [[nodiscard]] const Output& output() const noexcept { return output_; }

private:
    void putPiece(std::string_view bytes) noexcept;  // once, not at each place a text is put
    void putPiece(char c) noexcept { putPiece(std::string_view(&c, 1)); }
    template <typename Number>
        requires std::is_integral_v<Number>
    void putPiece(Number value) noexcept {
        putNumber(static_cast<std::uint64_t>(value));
    }
    void putNumber(std::uint64_t value) noexcept;  // once, not at each place a number is put
    void putPiece(const Escaped& escaped) noexcept;
    void putThrough(std::string_view bytes) noexcept;
    // Writes the whole lines held, keeping the line begun; all of it, where that leaves no `room`.
    void makeRoom(std::size_t room) noexcept;
    void writeOut(std::size_t count) noexcept;

    Output output_;
    bool failed_ = false;
    std::size_t used_ = 0;
    char block_[kBlockSize]{};
};

}  // namespace kavlo::cli
