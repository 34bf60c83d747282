// The command line's count of UTF-16 units, and so its verdict on a line, against Windows' own:
// what MultiByteToWideChar(CP_UTF8) makes of the same bytes, and what the window's Calculate says
// of that text. A Windows test program.
#include "calculate.h"
#include "hash_text.h"
#include "text.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace kavlo {
namespace {

std::u16string wideText(const std::string& bytes) {
    std::wstring text(bytes.size() + 1, L'\0');
    const int units = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                                          static_cast<int>(text.size()));
    return {reinterpret_cast<const char16_t*>(text.data()), static_cast<std::size_t>(units)};
}

// The text as Windows decodes `bytes`. It reads them one by one, so that a sequence cut short by
// the text's end ends as it does when a byte that cannot continue it follows. Wine skips to the
// text's end instead; ASCII after the text, taken off again, has it decode as Windows does.
std::u16string windowsText(const std::string& bytes) {
    constexpr std::string_view kPadding = "AAAA";
    const std::u16string text = wideText(bytes + std::string(kPadding));
    return text.substr(0, text.size() - kPadding.size());
}

std::string hex(const std::string& bytes) {
    std::string out;
    for (unsigned char byte : bytes) out += kHexAlphabet[byte >> 4], out += kHexAlphabet[byte & 15], out += ' ';
    return out;
}

// The units, and the verdict on the bytes as a line and inside texts that are twelve units or
// thereabouts, as the window counts and judges them.
void expectAsWindows(const std::string& bytes) {
    ASSERT_EQ(utf16Units(bytes), windowsText(bytes).size()) << hex(bytes);
    for (const std::string& line : {bytes, "0100A8C01F" + bytes, "0100A8C01F9" + bytes, "0100A8C0" + bytes + "1F90",
                                    bytes + "0100A8C01F90", bytes + "00A8C01F90"}) {
        IPParts slots{};
        const std::u16string_view window = calculate(windowsText(line), slots).view();
        Address address{};
        const HashVerdict verdict = decodeText(line, line.size(), address);
        char text[kLongestAddressText];
        const std::string ours = verdict == HashVerdict::WrongLength ? std::string(kWrongLengthMessage)
                                 : verdict == HashVerdict::NotHex    ? std::string(kNotHexMessage)
                                                                     : std::string(text, writeAddress(address, text, std::end(text)));
        ASSERT_EQ(ours, std::string(window.begin(), window.end())) << hex(line);
    }
}

TEST(Utf16Units, AreWindowsOwnForEveryKindOfSequence) {
    const std::pair<const char*, std::vector<std::string>> kinds[] = {
        {"valid text", {"A", "\xC2\x80", "\xC3\xA9", "\xDF\xBF", "\xE0\xA0\x80", "\xE2\x82\xAC", "\xED\x9F\xBF",
                        "\xEE\x80\x80", "\xEF\xBB\xBF", "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF0\x9F\x98\x80",
                        "\xF4\x8F\xBF\xBF", "\xEF\xBC\x90"}},
        {"overlong forms", {"\xC0\x80", "\xC1\xBF", "\xE0\x80\x80", "\xE0\x9F\xBF", "\xF0\x80\x80\x80", "\xF0\x8F\xBF\xBF"}},
        {"encoded surrogates", {"\xED\xA0\x80", "\xED\xAF\xBF", "\xED\xB0\x80", "\xED\xBF\xBF", "\xED\xA0\x80\xED\xB0\x80"}},
        {"truncated sequences", {"\xC3", "\xE2\x82", "\xF0\x9F\x98", "\xC3\x41", "\xE2\x82\x41", "\xF0\x9F\x41",
                                 "\xF0\x9F\x98\x41\x42", "\xE2\x41\x42"}},
        {"bytes that start nothing", {"\x80", "\xBF", "\xBF\x80", "\xF5\x80\x80\x80", "\xF7\xBF\xBF\xBF",
                                      "\xF8\x88\x80\x80\x80", "\xFC\x84\x80\x80\x80\x80", "\xFE", "\xFF", "\xF4\x90\x80\x80"}},
    };
    for (const auto& [kind, sequences] : kinds) {
        for (const std::string& bytes : sequences) {
            SCOPED_TRACE(std::string(kind) + ": " + hex(bytes));
            expectAsWindows(bytes);
        }
    }
}

TEST(Utf16Units, AreWindowsOwnWhereWineSkipsToTheTextsEnd) {
    // A lead byte that claims more bytes than the text has left: Wine makes one U+FFFD of the rest,
    // Windows one of the lead (and what continued it), then reads the next byte afresh.
    const std::pair<std::string, std::size_t> cases[] = {
        {"0100A8C01F\xE4\x41", 12}, {"0100A8C01F\xF0\x41", 12}, {"0100A8C01F\xF0\x9F\x41", 12}, {"\xC3\xE4\x41", 3}};
    for (const auto& [bytes, units] : cases) {
        SCOPED_TRACE(hex(bytes));
        EXPECT_EQ(utf16Units(bytes), units);
        EXPECT_EQ(windowsText(bytes).size(), units);
        Address address{};
        if (units == kHashLength) {
            EXPECT_EQ(decodeText(bytes, bytes.size(), address), HashVerdict::NotHex);
        }
    }
}

TEST(Utf16Units, AreWindowsOwnForShortTextsOfBoundaryBytes) {
    // Every text of up to three of the bytes where UTF-8's rules change, and random longer ones.
    const std::string edges = std::string("\x00\x41\x7F\x80\x8F\x90\x9F\xA0\xBF\xC0\xC1\xC2\xDF\xE0\xE1\xEC\xED\xEE\xEF"
                                          "\xF0\xF1\xF3\xF4\xF5\xF7\xF8\xFF", 27);
    for (char a : edges) {
        expectAsWindows({a});
        for (char b : edges) {
            expectAsWindows({a, b});
            for (char c : edges) expectAsWindows({a, b, c});
        }
    }
    std::mt19937 random(20261209);
    for (int i = 0; i < 20000; ++i) {
        std::string bytes(1 + random() % 12, '\0');
        for (char& byte : bytes) byte = edges[random() % edges.size()];
        expectAsWindows(bytes);
    }
}

}  // namespace
}  // namespace kavlo
