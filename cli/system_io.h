// What the command-line program needs of the system: its arguments, reading standard input and
// files, and writing standard output and error. io_posix.cpp and io_windows.cpp each give it.
#pragma once

#include <algorithm>
#include <cstddef>
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

// One command-line argument: its text as UTF-8, and the system's own form, to open a file by.
// Windows gives arguments as UTF-16; an unpaired surrogate becomes U+FFFD, so that every UTF-16
// code unit stays one unit when the text is counted again (utf8FromUtf16).
struct Argument {
    std::string_view text;
    const NativeUnit* native;
};

// Where text is read from: an Input, or, in tests, bytes handed out in pieces.
class ByteSource {
public:
    // Up to `size` bytes: how many, 0 at the end, or -1 on a failure that error() then describes.
    virtual long read(char* buffer, std::size_t size) noexcept = 0;
    // Why opening or reading failed ("No such file or directory"); empty if nothing failed.
    [[nodiscard]] virtual std::string_view error() const noexcept = 0;
    // Whether a read may wait for a person or another program (a console, a pipe), rather than
    // take what a file or memory holds.
    [[nodiscard]] virtual bool mayWait() const noexcept { return true; }
    // Whether the bytes are a text file's, which may start with a byte-order mark, rather than
    // text already (an argument), in which such bytes mean nothing.
    [[nodiscard]] virtual bool mayHaveMark() const noexcept { return true; }

protected:
    ByteSource() = default;
    ByteSource(const ByteSource&) = default;
    ByteSource& operator=(const ByteSource&) = default;
    ~ByteSource() = default;
};

// A text in memory, read as an input is: an argument that --extract reads as text.
class TextSource final : public ByteSource {
public:
    explicit TextSource(std::string_view text) noexcept : text_(text) {}
    long read(char* buffer, std::size_t size) noexcept override {
        const std::size_t count = std::min(text_.size(), size);
        std::copy_n(text_.data(), count, buffer);
        text_.remove_prefix(count);
        return static_cast<long>(count);
    }
    [[nodiscard]] std::string_view error() const noexcept override { return {}; }
    [[nodiscard]] bool mayWait() const noexcept override { return false; }
    [[nodiscard]] bool mayHaveMark() const noexcept override { return false; }

private:
    std::string_view text_;
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
    [[nodiscard]] std::string_view error() const noexcept override { return {error_, errorSize_}; }
    [[nodiscard]] bool mayWait() const noexcept override { return mayWait_; }

private:
    void keepError(unsigned long code) noexcept;
    void* handle_ = nullptr;  // the system's: a file descriptor or a HANDLE
    bool owned_ = false;
    bool mayWait_ = true;
    char error_[160] = {};
    std::size_t errorSize_ = 0;
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
    // Why the last write failed.
    [[nodiscard]] std::string_view error() const noexcept { return {error_, errorSize_}; }

private:
    void* handle_ = nullptr;
    bool closed_ = false;
    char error_[160] = {};
    std::size_t errorSize_ = 0;
};

// The argument without its first `count` bytes, which are ASCII, as in an option's name:
// "--file=list.txt" without 7 is "list.txt".
inline Argument argumentAfter(const Argument& argument, std::size_t count) noexcept {
    count = std::min(count, argument.text.size());
    return {{argument.text.data() + count, argument.text.size() - count}, argument.native + count};
}

// The program itself (kavlo_ipfinder.cpp), which the system's entry point calls.
int run(std::span<const Argument> arguments) noexcept;

}  // namespace kavlo::cli
