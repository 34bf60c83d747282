// For the readers' tests and fuzzing: a text handed out a few bytes a read, as pipes and consoles
// hand out theirs.
#pragma once

#include "byte_source.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string_view>

namespace kavlo {

// Hands out `text` at most `piece()` bytes a read, as a pipe (which may wait) or a file does; or,
// `fed`, as the page's source does, with kNotYet before each piece, for the reader to come back.
class PiecewiseSource final : public ByteSource {
public:
    PiecewiseSource(std::string_view text, std::function<std::size_t()> piece, bool mayWait = true, bool fed = false)
        : text_(text), piece_(std::move(piece)), mayWait_(mayWait), fed_(fed) {}
    long read(char* buffer, std::size_t size) noexcept override {
        notYet_ = fed_ && !notYet_;
        return notYet_ ? kNotYet : text_.read(buffer, std::min(size, piece_()));
    }
    [[nodiscard]] std::string_view error() const noexcept override { return {}; }
    [[nodiscard]] bool mayWait() const noexcept override { return mayWait_; }

private:
    TextSource text_;
    std::function<std::size_t()> piece_;
    bool mayWait_;
    bool fed_;
    bool notYet_ = false;
};

}  // namespace kavlo
