// Texts as the command-line program reads them: UTF-8 measured as the window would hold it, and
// the window's verdict on it.
#pragma once

#include "calculate.h"

#include <cstdint>
#include <string_view>

namespace kavlo {

// An input is shown, in messages and in the output, by at most its first bytes: this many.
inline constexpr std::size_t kShownBytes = 64;

// One step of reading UTF-8 as Windows does (MultiByteToWideChar, CP_UTF8): the code point at the
// start of `text`, which is not empty, and its length; or kNotUtf8, one U+FFFD to Windows, for a
// byte that starts no sequence (80-C1, F5-FF), or a lead byte and the continuation bytes taken
// before Windows sees no sequence (an early end or other byte, an overlong form, a surrogate, a
// code above U+10FFFF).
struct Decoded {
    std::size_t length;
    char32_t code;
};
inline constexpr char32_t kNotUtf8 = 0xFFFFFFFF;
[[nodiscard]] Decoded decodeStep(std::string_view text) noexcept;

// How many UTF-16 code units Windows makes of the UTF-8 `text`, as the window counts them: one a
// step, or two above U+FFFF.
[[nodiscard]] std::uint64_t utf16Units(std::string_view text) noexcept;

// Writes the UTF-8 of the UTF-16 `text`, which ends at a unit 0, from `out` on, and returns its end:
// at most three bytes a unit. An unpaired surrogate becomes U+FFFD, as WideCharToMultiByte makes
// it: one unit, as the window counts it, and not a hex digit.
char* utf8FromUtf16(const char16_t* text, char* out) noexcept;

// The same for `units` UTF-16 units given as bytes, little- or big-endian, from `in`, in a text
// that goes on: a lead surrogate at the end waits in `lead` (0 for none) for the next call, and
// at the text's end the caller makes a waiting one U+FFFD (putUtf8). `out` may lie in the same
// memory, `units` bytes or more before `in`, for the text to be made UTF-8 where it was read.
char* utf8FromUtf16Bytes(const char* in, std::size_t units, bool bigEndian, char16_t& lead, char* out) noexcept;
// Writes the UTF-8 of one code point, of one to four bytes, and returns its end.
char* putUtf8(char32_t code, char* out) noexcept;

// The window's verdict on the text it would hold, in UTF-16, for the UTF-8 text whose first bytes
// are `head` (at least its first 36, where it has that many) and whose size is `size`.
[[nodiscard]] HashVerdict decodeText(std::string_view head, std::uint64_t size, Address& address) noexcept;

// Writes `value` in decimal, with no leading zeros, and returns its end: 20 bytes at the most. A
// loop of a few instructions, where std::to_chars brings tables and code the small exes feel.
char* writeDecimal(std::uint64_t value, char* out) noexcept;

// The first `count` bytes of `text` (all of it if it is shorter), and what follows them. Made by
// hand: substr's range check would bring in the runtime's exceptions.
constexpr std::string_view firstBytes(std::string_view text, std::size_t count) noexcept {
    return {text.data(), count < text.size() ? count : text.size()};
}
constexpr std::string_view bytesAfter(std::string_view text, std::size_t count) noexcept {
    count = count < text.size() ? count : text.size();
    return {text.data() + count, text.size() - count};
}

}  // namespace kavlo
