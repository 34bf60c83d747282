// kavlo-ipfinder's options, each written once: its names, what follows it, what it does and its
// help. Reading the arguments, --help and the tests all take them from this table.
#pragma once

#include <string_view>

namespace kavlo::cli {

enum class Mode { Decode, Encode, Extract };
enum class Format { Plain, Tsv, Json };
enum class Action { SetMode, SetFormat, File, Help, Version, EndOfOptions };

struct Option {
    std::string_view shortName;  // "-x", or empty
    std::string_view longName;
    std::string_view argument;   // what follows it ("FILE"), empty if nothing does
    Action action;
    int value;                   // the mode or format it sets
    std::string_view help;       // its lines after the first are aligned with the first
};

inline constexpr Option kOptions[] = {
    {"-x", "--extract", "", Action::SetMode, static_cast<int>(Mode::Extract),
     "find and decode every hash in any text, arguments too: twelve hex digits\n"
     "that are a word of their own and not the last group of a GUID"},
    {"-e", "--encode", "", Action::SetMode, static_cast<int>(Mode::Encode),
     "make the hash of each address and port instead: 192.168.0.1:8080 gives\n0100A8C01F90"},
    {"-f", "--file", "FILE", Action::File, 0,
     "read FILE, one a line (may be given more than once; also written\n--file=FILE or -fFILE)"},
    {"", "--tsv", "", Action::SetFormat, static_cast<int>(Format::Tsv),
     "print each input, a tab, and its result or what is wrong with it"},
    {"", "--json", "", Action::SetFormat, static_cast<int>(Format::Json),
     "print JSON Lines: for each input, an object with its \"input\", then its\n"
     "\"address\" and \"port\", its \"hash\" or its \"error\", and where it was"},
    {"-h", "--help", "", Action::Help, 0, "print this help"},
    {"", "--version", "", Action::Version, 0, "print the version"},
    {"", "--", "", Action::EndOfOptions, 0, "what follows is input, even if it starts with -"},
};

}  // namespace kavlo::cli
