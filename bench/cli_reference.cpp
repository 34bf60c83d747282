// The yardsticks for kavlo-ipfinder's speed, written as a plain iostream program would be, and the
// benchmark's input.
//   cli_reference generate N    N random hashes, twelve upper-case hex digits a line
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
        std::fputs("usage: cli_reference generate N | decode | encode\n", stderr);
        return 2;
    }
    return 0;
}
