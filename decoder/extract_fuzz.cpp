// Fuzzes --extract's finder against the rules written plainly as regular expressions: the same
// hashes, in the same order, on the same lines, however the text's bytes arrive, in UTF-16 too; and its two
// classifiers, SSE2 and a byte at a time, against each other on every 64 bytes of the text. The
// first byte of the input sets the size of the pieces the text is handed out in, whether lines are
// counted, and whether the text comes as from a pipe or a file (or, in even pieces from a pipe, as the
// page feeds it, with nothing yet before each piece).
#include "extract.h"
#include "extract_reference.h"
#include "lines.h"
#include "piecewise_source.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using Found = std::vector<std::pair<std::string, std::uint64_t>>;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t piece = 1 + data[0] % 64;
    const bool countLines = data[0] & 64;
    const bool pipe = data[0] & 128;
    kavlo::PiecewiseSource source(text, [piece] { return piece; }, pipe, pipe && piece % 2 == 0);
    kavlo::TextState state;
    kavlo::HashFinder finder(source, [](void*) { return true; }, nullptr, countLines, state);
    Found found;
    kavlo::FoundHash hash{};
    for (bool more = true; more;) {
        if (finder.next(hash)) found.emplace_back(std::string(hash.text), countLines ? hash.line : 1);
        else more = finder.waiting();
    }
    Found expected = kavlo::referenceHashes(kavlo::asRead(text));
    for (auto& [digits, line] : expected) line = countLines ? line : 1;
    if (found != expected || !finder.failure().empty()) std::abort();
#ifdef KAVLO_VECTOR_FINDER
    const auto same = [](const kavlo::Masks& a, const kavlo::Masks& b) {
        return a.hex == b.hex && a.word == b.word && a.dash == b.dash && a.lineEnds == b.lineEnds;
    };
    for (std::size_t at = 0; at + 64 <= text.size(); ++at) {
        if (!same(kavlo::classifyVector(text.data() + at, countLines), kavlo::classifyBytes(text.data() + at, countLines))) {
            std::abort();
        }
    }
#endif
    return 0;
}
