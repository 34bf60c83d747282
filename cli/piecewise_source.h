// For the readers' tests and fuzzing: a text handed out a few bytes a read, as pipes and consoles
// hand out theirs.
#pragma once

#include "system_io.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string_view>

namespace kavlo::cli {

// Hands out `text` at most `piece()` bytes a read.
class PiecewiseSource final : public ByteSource {
public:
    PiecewiseSource(std::string_view text, std::function<std::size_t()> piece) : text_(text), piece_(std::move(piece)) {}
    long read(char* buffer, std::size_t size) noexcept override { return text_.read(buffer, std::min(size, piece_())); }
    [[nodiscard]] std::string_view error() const noexcept override { return {}; }

private:
    TextSource text_;
    std::function<std::size_t()> piece_;
};

}  // namespace kavlo::cli
