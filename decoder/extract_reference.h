// For the finder's fuzzers: --extract's rule written plainly as regular expressions, the yardstick
// the finder is held to.
#pragma once

#include <algorithm>
#include <cstdint>
#include <regex>
#include <string>
#include <utility>
#include <vector>

namespace kavlo {

// Each hash in `text` and its line, from 1: twelve hex digits with no word byte on either side,
// not after the first four groups of a GUID.
inline std::vector<std::pair<std::string, std::uint64_t>> referenceHashes(const std::string& text) {
    static const std::regex hash("(^|[^A-Za-z0-9_])([0-9A-Fa-f]{12})(?![A-Za-z0-9_])");
    static const std::regex guidGroups("[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-");
    std::vector<std::pair<std::string, std::uint64_t>> found;
    std::size_t counted = 0;  // the line ends before here are counted
    std::uint64_t line = 1;
    for (std::sregex_iterator match(text.begin(), text.end(), hash), end; match != end; ++match) {
        const auto at = static_cast<std::size_t>(match->position(2));
        if (at >= 24 && std::regex_match(text.substr(at - 24, 24), guidGroups)) continue;
        line += static_cast<std::uint64_t>(std::count(text.begin() + static_cast<long>(counted), text.begin() + static_cast<long>(at), '\n'));
        counted = at;
        found.emplace_back(match->str(2), line);
    }
    return found;
}

// The text as the readers see it: UTF-16 after its mark made of ASCII and, for the rest, a byte
// that is no part of a word or line end (an odd last byte left out); other text as it is.
inline std::string asRead(const std::string& text) {
    const bool big = text.starts_with("\xFE\xFF");
    if (!big && !text.starts_with("\xFF\xFE")) return text;
    std::string seen;
    for (std::size_t at = 2; at + 1 < text.size(); at += 2) {
        const unsigned unit = static_cast<unsigned char>(text[at + !big]) << 8 | static_cast<unsigned char>(text[at + big]);
        seen += unit < 0x80 ? static_cast<char>(unit) : '\x80';  // however many bytes the reader makes of it
    }
    return seen;
}

}  // namespace kavlo
