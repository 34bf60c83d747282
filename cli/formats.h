// The output formats: how each writes an answer (a result, or what is wrong with an input), in
// one table. A hash that --extract finds is written as a result, with the hash as its input.
#pragma once

#include "calculate.h"
#include "encode.h"
#include "options.h"
#include "text.h"
#include "writer.h"

#include <cstdint>
#include <string_view>

namespace kavlo::cli {

enum class From { Argument, StandardInput, File };

// Where an input came from: "argument 2", "line 7", "list.txt: line 7".
struct Origin {
    From from;
    std::uint64_t number;   // the argument's, or the line's
    std::string_view file;  // the file's name, for a file (which may be empty)
    [[nodiscard]] std::string_view kind() const noexcept { return from == From::Argument ? "argument" : "line"; }
    [[nodiscard]] bool fromFile() const noexcept { return from == From::File; }
};

// An input and what became of it: an address decoded from it, a hash encoded from it (`encoded`),
// or, where `problem.what` is not empty, what is wrong with it.
struct Answer {
    std::string_view head;  // its first bytes, all of it where `size` is no more than kShownBytes
    std::uint64_t size;
    Origin origin;
    Address address;
    bool encoded;
    ProblemWords problem;
};

// A format: how it writes an answer, a result or what is wrong with an input; whether what is
// wrong goes to standard error instead, a line after the program's name; and whether --extract must
// count lines for it.
struct FormatStyle {
    void (*write)(Writer& to, const Answer& answer) noexcept;
    bool problemsApart;
    bool saysWhere;
};
const FormatStyle& styleOf(Format format) noexcept;

// A file's name as messages show it: escaped, and an empty one as ''.
inline Escaped fileName(std::string_view file) noexcept { return {file.empty() ? "''" : file}; }

}  // namespace kavlo::cli
