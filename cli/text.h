// Texts as the command-line program reads and writes them: UTF-8 measured as the window would hold
// it, the window's verdict on it, and written out safely for a terminal, a TSV column or JSON.
#pragma once

#include "calculate.h"
#include "lines.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace kavlo::cli {

// How many UTF-16 code units Windows makes of the UTF-8 `text` (MultiByteToWideChar, CP_UTF8):
// the window counts those. A sequence is one unit, or two above U+FFFF. A byte that starts no
// sequence (80-C1, F5-FF) is one U+FFFD; a sequence that goes wrong (a byte that does not
// continue it, an overlong form, a surrogate, a code above U+10FFFF) is one U+FFFD for its lead
// and the continuation bytes taken before Windows saw that; one that the text ends inside is one
// U+FFFD for all that is left.
[[nodiscard]] std::uint64_t utf16Units(std::string_view text) noexcept;

// The window's verdict on the text it would hold, in UTF-16, for the UTF-8 text whose first bytes
// are `head` (at least its first 36, where it has that many) and whose size is `size`.
[[nodiscard]] HashVerdict decodeText(std::string_view head, std::uint64_t size, Address& address) noexcept;

// Writes `text`, of `size` bytes in all, so that it is safe and unambiguous on a terminal and in a
// tab-separated column: control characters, backslash and (quoted) the double quote are escaped.
// At most its first LineReader::kHeadSize bytes are shown; "..." says there were more.
char* appendEscaped(char* out, std::string_view text, std::uint64_t size, bool quoted) noexcept;
// The most appendEscaped writes for a text of up to LineReader::kHeadSize bytes.
inline constexpr std::size_t kEscapedRoom = 4 * LineReader::kHeadSize + 5;

// Writes `text` as a JSON string, quotes and all: control characters, '"' and '\' escaped, and
// each byte that is not part of a UTF-8 sequence made U+FFFD, so that the result always parses.
// With `size` larger than the text, "..." follows it inside the string, as appendEscaped shows it.
char* appendJson(char* out, std::string_view text, std::uint64_t size) noexcept;
// The most appendJson writes for a text of `size` bytes.
constexpr std::size_t jsonRoom(std::size_t size) noexcept { return 6 * size + 5; }

inline char* append(char* out, std::string_view text) noexcept { return std::copy(text.begin(), text.end(), out); }
// The first `count` bytes of `text` (all of it if it is shorter), and what follows them. Made by
// hand: substr's range check would bring in the runtime's exceptions.
constexpr std::string_view firstBytes(std::string_view text, std::size_t count) noexcept {
    return {text.data(), std::min(count, text.size())};
}
constexpr std::string_view bytesAfter(std::string_view text, std::size_t count) noexcept {
    count = std::min(count, text.size());
    return {text.data() + count, text.size() - count};
}
char* appendNumber(char* out, std::uint64_t value) noexcept;

}  // namespace kavlo::cli
