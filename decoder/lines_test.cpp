// The line reader on inputs that hand out their bytes in small pieces, as pipes and consoles do;
// and Windows' UTF-16 arguments, judged as the window judges the same text.
#include "extract.h"
#include "lines.h"
#include "piecewise_source.h"
#include "text.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

namespace kavlo {
namespace {

struct Seen {
    std::string head;
    std::uint64_t size;
    std::uint64_t number;
    friend bool operator==(const Seen&, const Seen&) = default;
};

void PrintTo(const Seen& seen, std::ostream* out) { *out << '"' << seen.head << "\" " << seen.size << " @" << seen.number; }

// Every line the reader gives, and its failure ("" if none).
std::pair<std::vector<Seen>, std::string> readAll(const std::string& text, std::function<std::size_t()> piece) {
    PiecewiseSource source(text, std::move(piece));
    TextState state;
    LineReader reader(source, [](void*) { return true; }, nullptr, state);
    std::vector<Seen> lines;
    Line line{};
    while (reader.next(line)) lines.push_back({std::string(line.head), line.size, line.number});
    return {lines, std::string(reader.failure()) + std::string(reader.flaw())};
}

constexpr std::size_t kBuffer = 1 << 16;  // the reader's buffer
const std::string kHash = "0100A8C01F90";

struct Case {
    const char* name;
    std::string input;
    std::vector<Seen> lines;
    std::string failure;
};

std::vector<Case> cases() {
    const std::string full(kBuffer, 'A');
    const std::string head(LineReader::kHeadSize, 'A');
    return {
        {"a UTF-8 byte-order mark, however its bytes arrive", "\xEF\xBB\xBF" + kHash + "\n", {{kHash, 12, 1}}, ""},
        {"no mark: a text that starts as one", "\xEF\xBB" + kHash + "\n", {{"\xEF\xBB" + kHash, 14, 1}}, ""},
        {"a lone first byte of a mark at the end", "\xEF", {{"\xEF", 1, 1}}, ""},
        {"UTF-16, little-endian", std::string("\xFF\xFE" "0\0\r\0\n\0" "A\0", 10), {{"0", 1, 1}, {"A", 1, 2}}, ""},
        {"UTF-16, big-endian, a pair and lone surrogates", std::string("\xFE\xFF\xD8\x3D\xDE\0\xDC\0\xD8\0", 10),
         {{"\xF0\x9F\x98\x80\xEF\xBF\xBD\xEF\xBF\xBD", 10, 1}}, ""},
        {"UTF-16 that ends in an odd byte", std::string("\xFF\xFE" "0\0\n\0" "1", 7), {{"0", 1, 1}}, std::string(kOddByteFlaw)},
        {"CRLF, however it arrives", kHash + "\r\n" + kHash + "\r\n", {{kHash, 12, 1}, {kHash, 12, 2}}, ""},
        {"blank and padded lines", "\n \t\n\t" + kHash + " \r\n\r\n  AB  \n", {{kHash, 12, 3}, {"AB", 2, 5}}, ""},
        {"no line end at the end", kHash + "\n" + kHash, {{kHash, 12, 1}, {kHash, 12, 2}}, ""},
        {"a line end among a line's first twelve bytes", "\n0100A8C01F9\nAB\nCDEFGHIJK\n\r\n0100A8C01F\r\n",
         {{"0100A8C01F9", 11, 2}, {"AB", 2, 3}, {"CDEFGHIJK", 9, 4}, {"0100A8C01F", 10, 6}}, ""},
        {"a line of exactly the buffer's size", full + "\n" + kHash + "\n", {{head, kBuffer, 1}, {kHash, 12, 2}}, ""},
        {"a line a byte longer", full + "A\r\n" + kHash, {{head, kBuffer + 1, 1}, {kHash, 12, 2}}, ""},
        {"a long blank line", std::string(kBuffer + 5, ' ') + "\n" + kHash, {{kHash, 12, 2}}, ""},
    };
}

TEST(LineReader, ReadsLinesHoweverTheBytesArrive) {
    std::mt19937 random(20261209);
    const std::pair<const char*, std::function<std::size_t()>> pieces[] = {
        {"one byte at a time", [] { return std::size_t{1}; }},
        {"two bytes at a time", [] { return std::size_t{2}; }},
        {"random sizes", [&random] { return std::size_t{1} + random() % 40; }},
        {"as much as asked for", [] { return std::size_t{1} << 30; }},
    };
    for (const Case& c : cases()) {
        for (const auto& [how, piece] : pieces) {
            SCOPED_TRACE(std::string(c.name) + ", " + how);
            const auto [lines, failure] = readAll(c.input, piece);
            EXPECT_EQ(lines, c.lines);
            EXPECT_EQ(failure, c.failure);
        }
    }
}

// The hashes the finder finds, with their lines.
// Where `fed`, the text comes as the page feeds it, with nothing yet before each piece.
std::vector<std::pair<std::string, std::uint64_t>> findAll(const std::string& text, std::function<std::size_t()> piece,
                                                           bool fed = false) {
    PiecewiseSource source(text, std::move(piece), true, fed);
    TextState state;
    HashFinder finder(source, [](void*) { return true; }, nullptr, true, state);
    std::vector<std::pair<std::string, std::uint64_t>> found;
    FoundHash hash{};
    for (bool more = true; more;) {
        if (finder.next(hash)) found.emplace_back(hash.text, hash.line);
        else more = finder.waiting();
    }
    return found;
}

TEST(Utf16, IsReadAsTheSameTextInUtf8) {
    // Texts of lines made of what logs and lists hold, and what is not ASCII: one unit (é, a
    // full-width digit, a lone surrogate of either half) or two (a pair).
    const std::u16string pieces[] = {u"0100A8C01F90", u"7f0000010050", u"A", u" ", u"\t", u"-", u"x=", u"\r\n", u"\n",
                                     u"\u00E9", u"\uFF10", u"\xD800", u"\xDC00", u"\U0001F600"};
    std::mt19937 random(20261210);
    for (int i = 0; i < 300; ++i) {
        std::u16string text;
        for (std::size_t size = i % 50 == 0 ? 70000 : random() % 400; text.size() < size;) {
            text += pieces[random() % std::size(pieces)];
        }
        std::string utf8(3 * text.size() + 1, '\0');
        utf8.resize(static_cast<std::size_t>(utf8FromUtf16(text.c_str(), utf8.data()) - utf8.data()));
        std::string little = "\xFF\xFE";
        std::string big = "\xFE\xFF";
        for (const char16_t unit : text) {
            little += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
            big += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
        }
        const std::size_t sizes[] = {1, 2, 3, 1 + random() % 40, std::size_t{1} << 30};
        for (const std::size_t size : sizes) {
            const auto piece = [size] { return size; };
            for (const std::string& utf16 : {little, big}) {
                ASSERT_EQ(readAll(utf16, piece), readAll(utf8, piece)) << i << " in pieces of " << size;
                ASSERT_EQ(findAll(utf16, piece), findAll(utf8, piece)) << i << " in pieces of " << size;
                ASSERT_EQ(findAll(utf16, piece, true), findAll(utf8, piece)) << i << " fed in pieces of " << size;
            }
        }
    }
}

TEST(Utf16, ReadAgainGoesOnWhereTheLastReadingStopped) {
    // Standard input named twice: a reader for each naming, one state for the text.
    TextState state;
    std::vector<Seen> lines;
    for (const std::string& part : {std::string("\xFF\xFE" "A\0\n\0", 6), std::string("B\0\n\0", 4)}) {
        PiecewiseSource source(part, [] { return std::size_t{1}; });
        LineReader reader(source, [](void*) { return true; }, nullptr, state);
        for (Line line{}; reader.next(line);) lines.push_back({std::string(line.head), line.size, line.number});
    }
    EXPECT_EQ(lines, (std::vector<Seen>{{"A", 1, 1}, {"B", 1, 2}}));
}

TEST(Arguments, AreJudgedAsTheWindowJudgesTheirUtf16) {
    // Texts of about twelve units, of hex digits and what the window counts otherwise: one unit
    // (é, a full-width digit, a lone surrogate of either half) or two (a pair).
    const std::u16string pieces[] = {u"0", u"A", u"f", u"g", u"\u00E9", u"\uFF10", u"\xD800", u"\xDC00", u"\U0001F600"};
    std::mt19937 random(20261210);
    for (int i = 0; i < 100000; ++i) {
        std::u16string text = i == 0 ? u"0100A8C01F9\xD800" : u"";
        while (text.size() < 10 + random() % 4) text += pieces[random() % std::size(pieces)];
        char bytes[3 * 14 + 1];
        const std::string_view utf8(bytes, static_cast<std::size_t>(utf8FromUtf16(text.c_str(), bytes) - bytes));
        IPParts slots{};
        const OutputText window = calculate(text, slots);
        Address address{};
        const HashVerdict verdict = decodeText(utf8, utf8.size(), address);
        char written[kLongestAddressText];
        const std::string_view ours = verdict == HashVerdict::WrongLength ? kWrongLengthMessage
                                      : verdict == HashVerdict::NotHex
                                          ? kNotHexMessage
                                          : std::string_view(written, writeAddress(address, written, std::end(written)));
        ASSERT_EQ(std::u16string(ours.begin(), ours.end()), window.view()) << i;
    }
}

}  // namespace
}  // namespace kavlo
