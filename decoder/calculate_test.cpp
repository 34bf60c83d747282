#include "calculate.h"
#include "calculate_oracle.h"
#include "hash_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <limits>
#include <random>
#include <string>

namespace kavlo {
namespace {

using oracle::kHex;
using oracle::kLength;

// Slots filled with values no press can produce, so that any write shows.
IPParts sentinelSlots() {
    return {Slot{std::int32_t{-7}}, Slot{std::int16_t{-1}}, Slot{}, Slot{std::int32_t{-3}},
            Slot{std::int16_t{-4}}, Slot{std::int16_t{-5}}};
}

// Presses Calculate on `hash` with sentinel slots and checks text and slots against the oracle.
void expectMatchesOracle(std::u16string_view hash) {
    IPParts ipPart = sentinelSlots();
    const oracle::Expected expected = oracle::expected(hash);
    ASSERT_EQ(calculate(hash, ipPart).view(), expected.text);
    ASSERT_EQ(ipPart, oracle::slotsAfter(expected, sentinelSlots()));
}

TEST(Calculate, DecodesEdgeCasesExactly) {
    struct Case {
        std::u16string hash;
        std::u16string expected;
    };
    const Case cases[] = {
        {u"0100A8C01F90", u"192.168.0.1:8080"},
        {u"0100a8c01f90", u"192.168.0.1:8080"},
        {u"0100A8c01F90", u"192.168.0.1:8080"},
        {u"FFFFFFFFFFFF", u"255.255.255.255:65535"},
        {u"000000000000", u"0.0.0.0:0"},
        {u"7F0000010050", u"1.0.0.127:80"},
        {u"0102030400FF", u"4.3.2.1:255"},
        {u"0A0B0C0D8000", u"13.12.11.10:32768"},
        {u"", kLength},
        {u"0100A8C01F9", kLength},
        {u"0100A8C01F900", kLength},
        {u"           ", kLength},
        {u"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", kLength},
        {u"0100A8C01F9G", kHex},
        {u"G100A8C01F90", kHex},
        {u"0100A8C01F9 ", kHex},
        {u" 100A8C01F90", kHex},
        {u"+100A8C01F90", kHex},
        {u"-100A8C01F90", kHex},
        {u"0x00A8C01F90", kHex},
        {u"&H00A8C01F90", kHex},
        {u"0100A8C01F9\uFF10", kHex},  // full-width zero
        {u"0100A8C01F9\uFF21", kHex},  // full-width A
        {u"0100A8C01F9\u0660", kHex},  // Arabic-Indic zero
        {u"0100A8C01F9\u0130", kHex},  // dotted capital I
        {u"0100A8C01F9\u00E1", kHex},
        {u"0100A8C01F9/", kHex},       // the units just outside 0-9, A-F and a-f
        {u"0100A8C01F9:", kHex},
        {u"0100A8C01F9@", kHex},
        {u"0100A8C01F9`", kHex},
        {u"0100A8C01F9g", kHex},
        {std::u16string(u"0100A8C01F9") + char16_t{0}, kHex},
        {u"0100A8C01F\U0001F600", kHex},  // two code units make the length twelve
        {u"0100A8C01F9\U0001F600", kLength},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.hash.begin(), c.hash.end()));
        IPParts ipPart{};
        EXPECT_EQ(calculate(c.hash, ipPart).view(), c.expected);
        expectMatchesOracle(c.hash);
    }
}

TEST(Calculate, HexDigitSetIsExactlyAsciiDigitsAndLettersAToF) {
    const std::u16string accepted = u"0123456789ABCDEFabcdef";
    for (std::uint32_t unit = 0; unit <= 0xFFFF; ++unit) {
        const bool expected = accepted.find(static_cast<char16_t>(unit)) != std::u16string::npos;
        ASSERT_EQ(isHexDigit(static_cast<char16_t>(unit)), expected) << "unit " << unit;
    }
}

TEST(Calculate, MatchesOracleForEveryCodeUnitAtEveryPosition) {
    const std::u16string valid = u"0100A8C01F90";
    for (std::size_t position = 0; position < valid.size(); ++position) {
        std::u16string hash = valid;
        for (std::uint32_t unit = 0; unit <= 0xFFFF; ++unit) {
            hash[position] = static_cast<char16_t>(unit);
            expectMatchesOracle(hash);
            if (HasFatalFailure()) return;
        }
    }
}

TEST(Calculate, MatchesOracleOnRandomTexts) {
    std::mt19937 random(20261208);
    const std::u16string hexDigits = u"0123456789ABCDEFabcdef";
    std::uniform_int_distribution<int> length(0, 14);
    std::uniform_int_distribution<int> kind(0, 99);
    std::uniform_int_distribution<std::uint32_t> anyUnit(0, 0xFFFF);
    std::uniform_int_distribution<std::size_t> hexIndex(0, hexDigits.size() - 1);
    std::size_t addresses = 0;
    constexpr int kSamples = 300000;
    for (int sample = 0; sample < kSamples; ++sample) {
        // Mostly twelve units of hex digits with the occasional stranger, so both paths are busy.
        const std::size_t size = kind(random) < 70 ? 12 : static_cast<std::size_t>(length(random));
        std::u16string hash;
        for (std::size_t i = 0; i < size; ++i) {
            const int k = kind(random);
            hash += k < 97 ? hexDigits[hexIndex(random)]
                  : k < 99 ? static_cast<char16_t>(anyUnit(random) & 0x7F)
                           : static_cast<char16_t>(anyUnit(random));
        }
        if (const oracle::Expected expected = oracle::expected(hash); expected.slots) {
            ++addresses;
            // The command line's fast forms too: digits read a word at a time, and the address text.
            const std::string bytes(hash.begin(), hash.end());
            char text[kLongestAddressText];
            const std::string written(text, writeAddress(decodeHexDigits(bytes.data()), text, std::end(text)));
            ASSERT_EQ(std::u16string(written.begin(), written.end()), expected.text) << bytes;
        }
        expectMatchesOracle(hash);
        if (HasFatalFailure()) return;
    }
    // Both outcomes must be well represented for the comparison to mean anything.
    EXPECT_GT(addresses, kSamples / 4);
    EXPECT_LT(addresses, kSamples * 3 / 4);
}

TEST(SlotText, IsEmptyOrPlainDecimal) {
    struct Case {
        Slot slot;
        std::u16string expected;
    };
    const Case cases[] = {
        {Slot{}, u""},
        {Slot{std::int16_t{0}}, u"0"},
        {Slot{std::int16_t{7}}, u"7"},
        {Slot{std::int16_t{255}}, u"255"},
        {Slot{std::int16_t{-1}}, u"-1"},
        {Slot{std::numeric_limits<std::int16_t>::min()}, u"-32768"},
        {Slot{std::numeric_limits<std::int16_t>::max()}, u"32767"},
        {Slot{std::int32_t{65535}}, u"65535"},
        {Slot{std::int32_t{1000000}}, u"1000000"},
        {Slot{std::numeric_limits<std::int32_t>::min()}, u"-2147483648"},
        {Slot{std::numeric_limits<std::int32_t>::max()}, u"2147483647"},
    };
    for (const Case& c : cases) EXPECT_EQ(slotText(c.slot).view(), c.expected);
}

// Constant evaluation rejects reading an uninitialised unit, so this compiles only if a partly
// filled text can be copied without reading indeterminate values.
static_assert([] {
    OutputText text;
    text.append("1.2");
    const OutputText copy = text;
    return copy.view() == u"1.2";
}());

class FakeWindow final : public CalculateHost {
public:
    std::u16string hash;
    std::u16string ipPort = u"untouched";
    int writes = 0;
    IPParts slots{};

    std::u16string_view hashText() noexcept override { return hash; }
    void replaceIPPortText(std::u16string_view text) noexcept override {
        ipPort.assign(text);
        ++writes;
    }
    IPParts& ipPart() noexcept override { return slots; }

    std::u16string press(std::u16string_view text) {
        hash.assign(text);
        cmdCalculate_Click(*this);
        return ipPort;
    }
};

TEST(CalculateClick, SlotsSurviveMessagesAndEachAddressStandsAlone) {
    FakeWindow window;
    EXPECT_EQ(window.slots, IPParts{});
    EXPECT_EQ(window.press(u"0100A8C01F90"), u"192.168.0.1:8080");
    const IPParts afterFirst = window.slots;
    EXPECT_EQ(afterFirst[0], Slot{});
    EXPECT_EQ(afterFirst[1], Slot{std::int16_t{192}});
    EXPECT_EQ(afterFirst[5], Slot{std::int32_t{8080}});

    EXPECT_EQ(window.press(u"0100A8C01F9"), kLength);
    EXPECT_EQ(window.slots, afterFirst);
    EXPECT_EQ(window.press(u"0100A8C01F9Z"), kHex);
    EXPECT_EQ(window.slots, afterFirst);

    EXPECT_EQ(window.press(u"7F0000010050"), u"1.0.0.127:80");
    EXPECT_EQ(window.press(u"7F0000010050"), u"1.0.0.127:80");
    EXPECT_EQ(window.writes, 5);
}

TEST(CalculateClick, MessageOnFirstPressLeavesSlotsEmpty) {
    FakeWindow window;
    EXPECT_EQ(window.press(u""), kLength);
    EXPECT_EQ(window.press(u"ZZZZZZZZZZZZ"), kHex);
    EXPECT_EQ(window.slots, IPParts{});
}

}  // namespace
}  // namespace kavlo
