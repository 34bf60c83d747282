// The yardsticks for kavlo-ipfinder's speed, written as a plain iostream program would be, and the
// benchmark's input.
//   cli_reference generate N    N random hashes, twelve upper-case hex digits a line
//   cli_reference log N         a log of N lines, each with a time stamp, a GUID in braces, a hash
//                               after hash= and a few words
//   cli_reference decode        hashes on standard input to a.b.c.d:port lines (getline, stoul, cout)
//   cli_reference encode        a.b.c.d:port lines to hashes
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <random>
#include <string>

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    std::string line;
    if (mode == "generate" && argc > 2) {
        std::mt19937_64 random(20261209);
        char text[16];
        for (long i = std::atol(argv[2]); i > 0; --i) {
            std::snprintf(text, sizeof text, "%012llX\n", static_cast<unsigned long long>(random() >> 16));
            std::fputs(text, stdout);
        }
    } else if (mode == "log" && argc > 2) {
        std::mt19937_64 random(20261209);
        const char* users[] = {"alice", "bob", "carol", "dave"};
        const char* actions[] = {"login accepted", "session refreshed", "logout", "password changed"};
        char text[200];
        for (long i = 0, lines = std::atol(argv[2]); i < lines; ++i) {
            const unsigned long long a = random(), b = random();
            std::snprintf(text, sizeof text,
                          "2026-12-%02ldT%02ld:%02ld:%02ld.%03ldZ INFO {%08llX-%04llX-%04llX-%04llX-%012llX} user=%s "
                          "hash=%012llX client=10.0.%ld.%ld %s\n",
                          1 + i / 86400000 % 28, i / 3600000 % 24, i / 60000 % 60, i / 1000 % 60, i % 1000, a >> 32,
                          a >> 16 & 0xFFFF, a & 0xFFFF, b >> 48, b & 0xFFFFFFFFFFFFULL, users[i % 4],
                          static_cast<unsigned long long>(random() >> 16), i / 256 % 256, i % 256, actions[i % 4]);
            std::fputs(text, stdout);
        }
    } else if (mode == "decode") {
        while (std::getline(std::cin, line)) {
            const unsigned long long v = std::stoull(line, nullptr, 16);
            std::cout << (v >> 16 & 255) << '.' << (v >> 24 & 255) << '.' << (v >> 32 & 255) << '.' << (v >> 40 & 255)
                      << ':' << (v & 65535) << '\n';
        }
    } else if (mode == "encode") {
        std::cout << std::uppercase << std::hex << std::setfill('0');
        while (std::getline(std::cin, line)) {
            unsigned long long octets[4] = {};
            std::size_t at = 0;
            for (unsigned long long& octet : octets) {
                std::size_t used = 0;
                octet = std::stoul(line.substr(at), &used);
                at += used + 1;
            }
            const unsigned long long port = std::stoul(line.substr(at));
            std::cout << std::setw(12) << (octets[3] << 40 | octets[2] << 32 | octets[1] << 24 | octets[0] << 16 | port)
                      << '\n';
        }
    } else {
        std::fputs("usage: cli_reference generate N | log N | decode | encode\n", stderr);
        return 2;
    }
    return 0;
}
