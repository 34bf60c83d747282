// For the readers' tests and fuzzing: a text handed out a few bytes a read, as pipes and consoles
// hand out theirs.
#pragma once

#include "byte_source.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string_view>

namespace kavlo {

// Hands out `text` at most `piece()` bytes a read, as a pipe (which may wait) or a file does.
class PiecewiseSource final : public ByteSource {
public:
    PiecewiseSource(std::string_view text, std::function<std::size_t()> piece, bool mayWait = true)
        : text_(text), piece_(std::move(piece)), mayWait_(mayWait) {}
    long read(char* buffer, std::size_t size) noexcept override { return text_.read(buffer, std::min(size, piece_())); }
    [[nodiscard]] std::string_view error() const noexcept override { return {}; }
    [[nodiscard]] bool mayWait() const noexcept override { return mayWait_; }

private:
    TextSource text_;
    std::function<std::size_t()> piece_;
    bool mayWait_;
};

}  // namespace kavlo
