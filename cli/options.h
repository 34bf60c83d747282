// kavlo-ipfinder's options, each written once: its names, what follows it, what it does and its
// help. Reading the arguments, --help and the tests all take them from this table.
#pragma once

#include <string_view>

namespace kavlo::cli {

enum class Mode { Decode, Encode, Extract };
enum class Format { Plain, Tsv, Json, Count };  // each with its style in formats.cpp
enum class Action { SetMode, SetFormat, File, Help, Version, EndOfOptions };

struct Option {
    std::string_view shortName;  // "-x", or empty
    std::string_view longName;
    std::string_view argument;   // what follows it ("FILE"), empty if nothing does
    Action action;
    int value;                   // the mode or format it sets
    std::string_view inputs;     // what a mode's inputs are ("TEXT")
    std::string_view help;       // for --help: its lines after the first are aligned with the first
#ifdef KAVLO_MANUAL
    std::string_view manual;     // for the manual and docs/command-line.md, *in bold* where so marked
#endif
};

inline constexpr std::string_view kDecodeInputs = "HASH";  // without a mode

// Each option's words for the manual follow its help, as KAVLO_MANUAL(words). Only the pages made at
// build time have them (make_pages.cpp defines KAVLO_MANUAL to keep them): the programs, which
// print --help, carry neither the words nor their field.
#ifndef KAVLO_MANUAL
#define KAVLO_MANUAL(words)
#endif

inline constexpr Option kOptions[] = {
    {"-x", "--extract", "", Action::SetMode, static_cast<int>(Mode::Extract), "TEXT",
     "find and decode every hash in any text, arguments too: twelve hex digits\n"
     "that are a word of their own and not the last group of a GUID"
     KAVLO_MANUAL("Find and decode every hash in any text, such as a log: a run of exactly twelve hex digits with no ASCII "
         "letter, digit or underscore on either side, and not the last group of a GUID "
         "(*XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX*, with or without braces). The arguments are text too, and the "
         "hashes are printed in the order they appear. The exit status is grep's: 0 when a hash was found, 1 when "
         "none was.")},
    {"-e", "--encode", "", Action::SetMode, static_cast<int>(Mode::Encode), "ADDRESS:PORT",
     "make the hash of each address and port instead: 192.168.0.1:8080 gives\n0100A8C01F90"
     KAVLO_MANUAL("Make the hash of each address and port instead: a dotted quad of decimal octets (0-255) and a decimal port "
         "(0-65535), as in *192.168.0.1:8080*, gives the hash in upper case. Signs, empty parts, leading zeros (octal "
         "elsewhere), *0x* and extra parts are refused, naming the part: *octet 4 is more than 255*.")},
    {"-f", "--file", "FILE", Action::File, 0, "",
     "read FILE, one a line (may be given more than once; also written\n--file=FILE or -fFILE)"
     KAVLO_MANUAL("Read FILE, one input a line. May be given more than once, and also written *--file=FILE* or *-fFILE*; short "
         "options go together, as in *-xf app.log*.")},
    {"", "--tsv", "", Action::SetFormat, static_cast<int>(Format::Tsv), "",
     "print each input, a tab, and its result or what is wrong with it"
     KAVLO_MANUAL("Print each input, a tab, and its result or what is wrong with it: a row for each line that is not blank, "
         "in the input's order.")},
    {"", "--json", "", Action::SetFormat, static_cast<int>(Format::Json), "",
     "print JSON Lines: for each input, an object with its \"input\", then its\n"
     "\"address\" and \"port\", its \"hash\" or its \"error\", and where it was"
     KAVLO_MANUAL("Print JSON Lines, in UTF-8: for each input an object with its *\"input\"*, then *\"address\"* and *\"port\"* (a "
         "number), *\"hash\"* with *--encode*, or *\"error\"*, and where it was: *\"argument\"*, or *\"line\"* with *\"file\"* "
         "for a file. The input is shown as *--tsv* shows it; where it is cut, *\"input_bytes\"* gives its whole size. A "
         "byte that is not UTF-8 is shown as U+FFFD, and what a terminal acts on as *\\uXXXX*.")},
    {"-h", "--help", "", Action::Help, 0, "", "print this help" KAVLO_MANUAL("Print the help.")},
    {"", "--version", "", Action::Version, 0, "", "print the version" KAVLO_MANUAL("Print the version.")},
    {"", "--", "", Action::EndOfOptions, 0, "", "what follows is input, even if it starts with -"
     KAVLO_MANUAL("What follows is input, even if it starts with *-*.")},
};

// The program's ways of being called, as --help's usage and the manual's synopsis show them: one a
// mode, decoding first, each with its mode's option (none for decoding) and what its inputs are.
// `each` is called with the mode's option and its inputs.
template <typename Each>
constexpr void forEachMode(Each&& each) {
    each(static_cast<const Option*>(nullptr), kDecodeInputs);
    for (const Option& option : kOptions) {
        if (option.action == Action::SetMode) each(&option, option.inputs);
    }
}

}  // namespace kavlo::cli
