// For the readers' tests and fuzzing: a text handed out a few bytes a read, as pipes and consoles
// hand out theirs.
#pragma once

#include "byte_source.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string_view>

namespace kavlo {

// Hands out `text` at most `piece()` bytes a read, as a pipe (which may wait) or a file does; with
// a piece of kWhole, all of it at once, as a mapped file.
class PiecewiseSource final : public ByteSource {
public:
    static constexpr std::size_t kWhole = 0;
    PiecewiseSource(std::string_view text, std::function<std::size_t()> piece, bool mayWait = true)
        : text_(text), whole_(piece() == kWhole ? text : std::string_view{}), piece_(std::move(piece)), mayWait_(mayWait) {}
    long read(char* buffer, std::size_t size) noexcept override {
        const std::size_t piece = piece_();
        return text_.read(buffer, piece == kWhole ? size : std::min(size, piece));  // a mapped file read, where it must be
    }
    [[nodiscard]] std::string_view error() const noexcept override { return {}; }
    [[nodiscard]] bool mayWait() const noexcept override { return mayWait_; }
    [[nodiscard]] std::string_view whole() const noexcept override { return whole_; }

private:
    TextSource text_;
    std::string_view whole_;
    std::function<std::size_t()> piece_;
    bool mayWait_;
};

}  // namespace kavlo
