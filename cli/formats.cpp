#include "formats.h"
#include "hash_text.h"

#include <algorithm>
#include <iterator>

namespace kavlo::cli {
namespace {

// An input as the formats show it: its first bytes escaped, then "..." where it had more.
std::string_view more(const Answer& answer) noexcept { return answer.size > kShownBytes ? "..." : ""; }
std::string_view shown(const Answer& answer) noexcept { return firstBytes(answer.head, kShownBytes); }
bool wrong(const Answer& answer) noexcept { return !answer.problem.what.empty(); }

// The result's text: "a.b.c.d:port", or the hash; then `after`.
template <std::size_t After>
void putResult(Writer& out, const Answer& answer, std::string_view after) noexcept {
    out.putInPlace<std::max(kLongestAddressText, kHashLength) + After>([&](char* first, char* last) {
        char* end = answer.encoded ? writeHash(answer.address, first, last) : writeAddress(answer.address, first, last);
        return std::copy(after.begin(), after.end(), end);
    });
}

// Plain: a result a line; what is wrong on standard error, with where it was.
void plain(Writer& out, const Answer& answer) noexcept {
    if (!wrong(answer)) return putResult<kNewline.size()>(out, answer, kNewline);
    const Origin& origin = answer.origin;
    out.put(origin.fromFile() ? fileName(origin.file) : Escaped{}, origin.fromFile() ? ": " : "", origin.kind(), ' ',
            origin.number, ": ", Escaped{shown(answer), Escaped::Quoted}, more(answer), ": ", answer.problem.part,
            answer.problem.what, kNewline);
}

// TSV: the input, a tab, and its result or what is wrong with it.
void tsv(Writer& out, const Answer& answer) noexcept {
    out.put(Escaped{shown(answer)}, more(answer), '\t');
    if (!wrong(answer)) return putResult<kNewline.size()>(out, answer, kNewline);
    out.put(answer.problem.part, answer.problem.what, kNewline);
}

// JSON Lines: an object for each input, with its input (and its size, where it is cut), its result
// or error, and where it was.
void json(Writer& out, const Answer& answer) noexcept {
    out.put("{\"input\": \"", Escaped{shown(answer), Escaped::Json}, more(answer), "\", ");
    if (answer.size > kShownBytes) out.put("\"input_bytes\": ", answer.size, ", ");
    if (wrong(answer)) {
        out.put("\"error\": \"", answer.problem.part, answer.problem.what, '"');
    } else if (answer.encoded) {
        out.put("\"hash\": \"");
        putResult<1>(out, answer, "\"");
    } else {
        // The address text, split at its colon: "address": "a.b.c.d", "port": p.
        constexpr std::string_view kPort = "\", \"port\": ";
        out.put("\"address\": \"");
        out.putInPlace<kLongestAddressText + kPort.size() - 1>([&answer, kPort](char* first, char* last) {
            char* end = writeAddress(answer.address, first, last);
            char* colon = std::find(first, end, ':');
            char* moved = end + kPort.size() - 1;
            std::copy_backward(colon + 1, end, moved);
            std::copy(kPort.begin(), kPort.end(), colon);
            return moved;
        });
    }
    const Origin& origin = answer.origin;
    if (origin.fromFile()) out.put(", \"file\": \"", Escaped{origin.file, Escaped::Json}, '"');
    out.put(", \"", origin.kind(), "\": ", origin.number, '}', kNewline);
}

// In the order of Format.
constexpr FormatStyle kStyles[] = {{plain, true, false}, {tsv, false, false}, {json, false, true}};
static_assert(std::size(kStyles) == static_cast<std::size_t>(Format::Count), "a style for each format");

}  // namespace

const FormatStyle& styleOf(Format format) noexcept { return kStyles[static_cast<int>(format)]; }

}  // namespace kavlo::cli
