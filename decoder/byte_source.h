// The bytes the readers read (the line reader and the hash finder), from wherever they come.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace kavlo {

// Where text is read from: the command line's standard input or a file, a text in memory, or, in
// tests, bytes handed out in pieces.
class ByteSource {
public:
    // Up to `size` bytes: how many, 0 at the end, or -1 on a failure that error() then describes;
    // or kNotYet, for a source fed from outside (the page's, by its chunks of a file), which has
    // nothing now and more later. Only the hash finder reads such a source.
    static constexpr long kNotYet = -2;
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

// A text in memory, read as an input is: an argument that --extract reads, or the page's text.
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

}  // namespace kavlo
