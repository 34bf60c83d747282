// What the command-line program needs of the system: its arguments, reading standard input and
// files, and writing standard output and error. io_posix.cpp and io_windows.cpp each give it.
#pragma once

#include "byte_source.h"
#include "text.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <iterator>
#include <span>
#include <string_view>

namespace kavlo::cli {

// How lines end in this system's text, and what its own form of an argument is made of.
#ifdef _WIN32
inline constexpr std::string_view kNewline = "\r\n";
using NativeUnit = wchar_t;
#else
inline constexpr std::string_view kNewline = "\n";
using NativeUnit = char;
#endif

// An argument in the system's own form, which ends at a unit 0: how many bytes its UTF-8 takes at
// the most, and that UTF-8 written from `out` on (its end returned). Windows gives arguments as
// UTF-16, in which an unpaired surrogate becomes U+FFFD, so that every UTF-16 code unit stays one
// unit when the text is counted again (utf8FromUtf16).
std::size_t mostUtf8Bytes(const NativeUnit* argument) noexcept;
char* toUtf8(const NativeUnit* argument, char* out) noexcept;

// One command-line argument: its text as UTF-8, and the system's own form, to open a file by.
struct Argument {
    std::string_view text;
    const NativeUnit* native;
};

// The system's words for an error code ("No such file or directory"), whole, in UTF-8, without a
// line end or a full stop at the end.
class SystemMessage {
public:
    SystemMessage() noexcept = default;
    SystemMessage(const SystemMessage&) = delete;
    SystemMessage& operator=(const SystemMessage&) = delete;
    ~SystemMessage() { set(nullptr, 0, false); }

    void describe(unsigned long code) noexcept;  // the words for `code`, from now on
    [[nodiscard]] std::string_view text() const noexcept { return {text_, size_}; }

private:
    void set(const char* text, std::size_t size, bool owned) noexcept {
        if (owned_) std::free(const_cast<char*>(text_));  // NOLINT(cppcoreguidelines-pro-type-const-cast)
        text_ = text;
        size_ = size;
        owned_ = owned;
    }
    // "error 123", where the system has no words.
    void number(unsigned long code) noexcept {
        constexpr std::string_view kError = "error ";
        char* end = writeDecimal(code, std::copy(kError.begin(), kError.end(), number_));
        set(number_, static_cast<std::size_t>(end - number_), false);
    }
    const char* text_ = nullptr;
    std::size_t size_ = 0;
    bool owned_ = false;  // the words were made for this message, and go with it
    char number_[6 + 20] = {};  // "error " and writeDecimal's most
};

// Standard input, or a file named on the command line.
class Input final : public ByteSource {
public:
    Input() noexcept;  // standard input
    explicit Input(const Argument& file) noexcept;
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;
    ~Input();

    long read(char* buffer, std::size_t size) noexcept override;
    [[nodiscard]] std::string_view error() const noexcept override { return error_.text(); }
    [[nodiscard]] bool mayWait() const noexcept override { return mayWait_; }

private:
    void* handle_ = nullptr;  // the system's: a file descriptor or a HANDLE
    bool owned_ = false;
    bool mayWait_ = true;
    SystemMessage error_;
};

// Standard output or standard error, written as is: UTF-8 bytes. A console is given the text as
// the characters they encode.
class Output {
public:
    enum class Stream { Out, Err };
    explicit Output(Stream stream) noexcept;
    // Writes all of `bytes`; false if that failed. closed() then says whether the reader has gone.
    bool write(std::string_view bytes) noexcept;
    [[nodiscard]] bool closed() const noexcept { return closed_; }
    // Whether the two go to one place (the same terminal, file or pipe), where the order of their
    // lines is seen; true where that cannot be told.
    [[nodiscard]] bool sameDestination(const Output& other) const noexcept;
    // Why the last write failed.
    [[nodiscard]] std::string_view error() const noexcept { return error_.text(); }

private:
    void* handle_ = nullptr;
    bool closed_ = false;
    SystemMessage error_;
};

// The argument without its first `count` bytes, which are ASCII, as in an option's name:
// "--file=list.txt" without 7 is "list.txt".
inline Argument argumentAfter(const Argument& argument, std::size_t count) noexcept {
    count = std::min(count, argument.text.size());
    return {{argument.text.data() + count, argument.text.size() - count}, argument.native + count};
}

// The program itself (kavlo_ipfinder.cpp), which the system's entry point calls with the arguments
// after the program's name.
int run(std::span<const NativeUnit* const> arguments) noexcept;

}  // namespace kavlo::cli
