#include "calculate.h"
#include "encode.h"
#include "hash_text.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>

namespace kavlo {
namespace {

std::string textOf(const Address& address) {
    char text[kLongestAddressText];
    return {text, writeAddress(address, text, std::end(text))};
}

std::string hashOf(const Address& address) {
    char hash[kHashLength];
    return {hash, writeHash(address, hash, std::end(hash))};
}

std::string wordsOf(const AddressReading& reading) {
    return std::string(reading.problem.part) + std::string(reading.problem.what);
}

TEST(Encode, WritesNothingPastTheRoomItIsGiven) {
    const Address longest{{255, 255, 255, 255}, 65535};
    using Write = char* (*)(const Address&, char*, const char*);
    for (const auto& [write, size] : {std::pair<Write, std::size_t>{writeAddress, kLongestAddressText},
                                      std::pair<Write, std::size_t>{writeHash, kHashLength}}) {
        for (std::size_t room = 0; room <= size; ++room) {
            std::string buffer(size + 1, '#');
            const char* end = write(longest, buffer.data(), buffer.data() + room);
            EXPECT_EQ(end - buffer.data(), room == size ? static_cast<std::ptrdiff_t>(size) : 0) << room;
            EXPECT_EQ(buffer.substr(room), std::string(size + 1 - room, '#')) << room;
        }
    }
}

// Address -> hash -> the decoder gives it back; address -> text -> the reader gives it back.
void expectRoundTrip(const Address& address) {
    const std::string hash = hashOf(address);
    Address decoded{};
    ASSERT_EQ(decodeHash(std::string_view(hash), decoded), HashVerdict::Address) << hash;
    ASSERT_EQ(decoded, address) << hash;
    const AddressReading reading = readAddress(textOf(address));
    ASSERT_EQ(wordsOf(reading), "") << textOf(address);
    ASSERT_EQ(reading.address, address) << textOf(address);
}

TEST(Encode, RoundTripsEveryOctetAndPortBoundary) {
    const std::uint8_t octets[] = {0, 1, 9, 10, 99, 100, 127, 128, 199, 200, 249, 250, 254, 255};
    const std::uint16_t ports[] = {0, 1, 9, 10, 99, 100, 255, 256, 999, 1000, 4095, 4096, 9999, 10000, 65534, 65535};
    for (std::size_t position = 0; position < 4; ++position) {
        for (std::uint8_t octet : octets) {
            for (std::uint16_t port : ports) {
                Address address{{7, 8, 9, 10}, port};
                address.octets[position] = octet;
                expectRoundTrip(address);
            }
        }
    }
    EXPECT_EQ(hashOf({{192, 168, 0, 1}, 8080}), "0100A8C01F90");
    EXPECT_EQ(hashOf({{1, 0, 0, 127}, 80}), "7F0000010050");
}

TEST(Encode, RoundTripsRandomAddressesAndHashes) {
    std::mt19937_64 random(20261209);
    for (int i = 0; i < 1000000; ++i) {
        const std::uint64_t bits = random();
        expectRoundTrip({{static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                          static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)},
                         static_cast<std::uint16_t>(bits >> 32)});
    }
    // Encoding a decoded hash, in any case, gives it back in upper case.
    constexpr char kDigits[] = "0123456789abcdefABCDEF";
    for (int i = 0; i < 100000; ++i) {
        std::string hash(kHashLength, '0');
        for (char& c : hash) c = kDigits[random() % 22];
        Address address{};
        ASSERT_EQ(decodeHash(std::string_view(hash), address), HashVerdict::Address);
        std::string upper = hash;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        ASSERT_EQ(hashOf(address), upper);
    }
}

TEST(Encode, NamesThePartThatIsWrong) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"192.168.0.1", "no port: give it after a colon, as in 192.168.0.1:8080"},
        {"192.168.0:80", "the address has fewer than four octets"},
        {":80", "the address has fewer than four octets"},
        {"192.168.0.1.5:80", "the address has more than four octets"},
        {"192.168.0.1:80:81", "more than one port"},
        {".168.0.1:80", "octet 1 is empty"},
        {"192..0.1:80", "octet 2 is empty"},
        {"192.168.0.:80", "octet 4 is empty"},
        {"192.168.0.1:", "the port is empty"},
        {"+192.168.0.1:80", "octet 1 is not a decimal number"},
        {"192.-1.0.1:80", "octet 2 is not a decimal number"},
        {"192.168.0x0.1:80", "octet 3 is not a decimal number"},
        {"192.168.0. 1:80", "octet 4 is not a decimal number"},
        {"192.168.0.1:+80", "the port is not a decimal number"},
        {"192.168.0.1:0x50", "the port is not a decimal number"},
        {"192.168.0.1:8O", "the port is not a decimal number"},
        {"192.168.0.1:\xEF\xBC\x98", "the port is not a decimal number"},  // a full-width 8
        {"010.168.0.1:80", "octet 1 has a leading zero"},
        {"192.168.00.1:80", "octet 3 has a leading zero"},
        {"192.168.0.1:080", "the port has a leading zero"},
        {"256.168.0.1:80", "octet 1 is more than 255"},
        {"192.168.0.1000:80", "octet 4 is more than 255"},
        {"192.168.0.1:65536", "the port is more than 65535"},
        {"192.168.0.1:99999999999999999999", "the port is more than 65535"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(wordsOf(readAddress(c.text)), c.message) << c.text;
    }
    const AddressReading largest = readAddress("255.255.255.255:65535");
    EXPECT_EQ(wordsOf(largest), "");
    EXPECT_EQ(largest.address, (Address{{255, 255, 255, 255}, 65535}));
    EXPECT_EQ(readAddress("0.0.0.0:0").address, (Address{{0, 0, 0, 0}, 0}));
}

}  // namespace
}  // namespace kavlo
