// kavlo-ipfinder: decodes user hash numbers from the command line, standard input or files, one a
// line, with the window's rules; with --encode, makes the hash of an address and port; with
// --extract, finds and decodes every hash in any text.
#include "encode.h"
#include "extract.h"
#include "hash_text.h"
#include "system_io.h"
#include "lines.h"
#include "text.h"
#include "version.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace kavlo::cli {
namespace {

constexpr std::string_view kName = "kavlo-ipfinder";

enum class Mode { Decode, Encode, Extract };
enum class Format { Plain, Tsv, Json };
enum class Action { SetMode, SetFormat, File, Help, Version, EndOfOptions };

// Every option, once: its names, what follows it, what it does and its help, whose lines after
// the first are aligned with it. Parsing and --help both read this table.
struct Option {
    std::string_view shortName;  // empty if it has none
    std::string_view longName;
    std::string_view argument;   // what follows it ("FILE"), empty if nothing does
    Action action;
    int value;                   // the mode or format it sets
    std::string_view help;
};
constexpr Option kOptions[] = {
    {"-x", "--extract", "", Action::SetMode, static_cast<int>(Mode::Extract),
     "find and decode every hash in any text, arguments too: twelve hex digits\n"
     "that are a word of their own and not the last group of a GUID"},
    {"-e", "--encode", "", Action::SetMode, static_cast<int>(Mode::Encode),
     "make the hash of each address and port instead: 192.168.0.1:8080 gives\n0100A8C01F90"},
    {"-f", "--file", "FILE", Action::File, 0, "read FILE, one a line (may be given more than once)"},
    {"", "--tsv", "", Action::SetFormat, static_cast<int>(Format::Tsv),
     "print each input, a tab, and its result or what is wrong with it"},
    {"", "--json", "", Action::SetFormat, static_cast<int>(Format::Json),
     "print JSON Lines: for each input, an object with its \"input\", then its\n"
     "\"address\" and \"port\", its \"hash\" or its \"error\", and where it was"},
    {"-h", "--help", "", Action::Help, 0, "print this help"},
    {"", "--version", "", Action::Version, 0, "print the version"},
    {"", "--", "", Action::EndOfOptions, 0, "what follows is input, even if it starts with -"},
};
constexpr std::size_t kHelpColumn = 19;

constexpr std::string_view kUsage =
    "Usage: kavlo-ipfinder [--tsv | --json] [HASH...] [-] [-f FILE]...\n"
    "       kavlo-ipfinder --encode [--tsv | --json] [ADDRESS:PORT...] [-] [-f FILE]...\n"
    "       kavlo-ipfinder --extract [--tsv | --json] [TEXT...] [-] [-f FILE]...\n"
    "\n"
    "Decodes twelve-digit user hash numbers into the IPv4 address and port they encode, one\n"
    "a.b.c.d:port line each, in order: 0100A8C01F90 gives 192.168.0.1:8080. Hashes come from the\n"
    "arguments, from standard input (-, or when nothing else is named) and from files (-f), one a\n"
    "line; spaces and tabs around a line are ignored, and blank lines skipped.\n"
    "\n";
constexpr std::string_view kExitStatus =
    "\n"
    "A bad input is reported on standard error (with --tsv or --json, in the output), and the rest\n"
    "go on. Exit status: 0 when every input was good, 1 when any was bad, 2 for a usage error or a\n"
    "file that could not be read. With --extract: 0 when a hash was found, 1 when none was.\n";

enum Status { kAllGood = 0, kSomeBad = 1, kTrouble = 2 };

// An input, in the order given: an argument's text, standard input, or a file.
struct Source {
    enum class Kind { Text, StandardInput, File } kind;
    std::size_t argument;  // the argument's index: the text's, or the file name's
};
struct FreeDeleter {
    void operator()(void* block) const noexcept { std::free(block); }
};

// Where an input came from, for messages and JSON: "argument 2", "line 7", "list.txt: line 7".
struct Origin {
    const char* kind;
    std::uint64_t number;
    std::string_view file;  // empty for arguments and standard input
};

// The most one output line takes: an input shown twice (TSV and JSON alike), a file name, the
// result and the keys.
constexpr std::size_t kFileNameShown = 1024;
constexpr std::size_t kLineRoom = jsonRoom(LineReader::kHeadSize) + jsonRoom(kFileNameShown) + 256;

class Program {
public:
    Program() noexcept : out_(Output::Stream::Out), err_(Output::Stream::Err) {}

    int run(std::span<const Argument> arguments) noexcept;

private:
    bool parse(std::span<const Argument> arguments, Source* sources, std::size_t& count) noexcept;
    void printHelp() noexcept;
    void read(const Source& source, std::span<const Argument> arguments) noexcept;
    void readLines(ByteSource& input, std::string_view file) noexcept;
    // Every hash in the text, each with the origin (its line's number, where `byLine`).
    void extract(ByteSource& input, Origin origin, bool byLine) noexcept;
    void failed(std::string_view file, std::string_view what, std::string_view why) noexcept;
    // One input: a hash, or an address and port with --encode. False once output is impossible.
    bool handle(std::string_view head, std::uint64_t size, const Origin& origin) noexcept;
    // A bad input's line on standard error.
    bool report(std::string_view head, std::uint64_t size, const Origin& origin, std::string_view problem) noexcept;
    bool usageError(std::string_view what, std::string_view argument, std::string_view then = {},
                    std::string_view other = {}) noexcept;
    void complain(std::string_view text) noexcept;
    char* writeOrigin(char* out, const Origin& origin) const noexcept;

    // Output is gathered and written in large blocks: before each read, which may wait for a
    // person, and when the block is full.
    bool room(std::size_t size) noexcept { return sizeof block_ - used_ >= size || flush(); }
    bool flush() noexcept;
    static void flushBeforeRead(void* self) noexcept { static_cast<Program*>(self)->flush(); }

    Output out_;
    Output err_;
    Mode mode_ = Mode::Decode;
    Format format_ = Format::Plain;
    bool found_ = false;    // --extract found a hash
    bool stopped_ = false;  // the output cannot be written: nothing more is done
    int status_ = kAllGood;
    char block_[1 << 16]{};
    std::size_t used_ = 0;
};

bool Program::flush() noexcept {
    if (stopped_) return false;
    if (used_ > 0 && !out_.write({block_, used_})) {
        stopped_ = true;
        // A reader that has gone (a closed pipe, as in "| head") wants no more and hears nothing.
        if (!out_.closed()) {
            err_.write(kName);
            err_.write(": cannot write the output: ");
            err_.write(out_.error());
            err_.write(kNewline);
            status_ = kTrouble;
        }
        return false;
    }
    used_ = 0;
    return true;
}

void Program::complain(std::string_view text) noexcept {
    flush();  // what came before it comes first
    err_.write(kName);
    err_.write(": ");
    err_.write(text);
    err_.write(kNewline);
}

// "unknown option "--hex"", or with a second part: ""--json" cannot go with "--tsv"".
bool Program::usageError(std::string_view what, std::string_view argument, std::string_view then,
                         std::string_view other) noexcept {
    char text[2 * kEscapedRoom + 64];
    char* end = appendEscaped(append(text, what), argument, argument.size(), true);
    if (!other.empty()) end = appendEscaped(append(end, then), other, other.size(), true);
    complain({text, static_cast<std::size_t>(end - text)});
    err_.write("Try 'kavlo-ipfinder --help'.");
    err_.write(kNewline);
    status_ = kTrouble;
    return false;
}

void Program::printHelp() noexcept {
    char text[256];
    const auto line = [&](const char* end) {
        out_.write({text, static_cast<std::size_t>(end - text)});
        out_.write(kNewline);
    };
    const auto lines = [&](std::string_view block) {
        for (std::size_t at; (at = block.find('\n')) != std::string_view::npos; block.remove_prefix(at + 1)) {
            line(append(text, firstBytes(block, at)));
        }
    };
    lines(kUsage);
    for (const Option& option : kOptions) {
        char* end = append(text, "  ");
        if (!option.shortName.empty()) end = append(append(end, option.shortName), ", ");
        end = append(end, option.longName);
        if (!option.argument.empty()) end = append(append(end, " "), option.argument);
        std::string_view help = option.help;
        for (bool first = true; first || !help.empty(); first = false) {
            const std::size_t at = std::min(help.find('\n'), help.size());
            end = std::fill_n(end, std::max<std::ptrdiff_t>(1, text + kHelpColumn - end), ' ');
            line(append(end, firstBytes(help, at)));
            help.remove_prefix(std::min(at + 1, help.size()));
            end = text;
        }
    }
    lines(kExitStatus);
}

// Reads the arguments, once, into the settings and the inputs in the order given. False when
// nothing is to be read: after --help or --version, or a usage error.
bool Program::parse(std::span<const Argument> arguments, Source* sources, std::size_t& count) noexcept {
    const Option* setBy[2] = {nullptr, nullptr};  // the option that set the mode, the format
    bool options = true;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i].text;
        if (!options || argument.size() < 2 || argument[0] != '-') {
            sources[count++] = {argument == "-" && options ? Source::Kind::StandardInput : Source::Kind::Text, i};
            continue;
        }
        const Option* option = std::find_if(std::begin(kOptions), std::end(kOptions), [&](const Option& o) {
            return argument == o.longName || argument == o.shortName;
        });
        if (option == std::end(kOptions)) return usageError("unknown option ", argument);
        switch (option->action) {
            case Action::SetMode:
            case Action::SetFormat: {
                const Option*& earlier = setBy[option->action == Action::SetFormat];
                if (earlier && earlier != option) return usageError("", argument, " cannot go with ", earlier->longName);
                earlier = option;
                if (option->action == Action::SetMode) mode_ = static_cast<Mode>(option->value);
                if (option->action == Action::SetFormat) format_ = static_cast<Format>(option->value);
                break;
            }
            case Action::File:
                if (++i == arguments.size()) return usageError("a file name must follow ", argument);
                sources[count++] = {Source::Kind::File, i};
                break;
            case Action::Help:
                printHelp();
                return false;
            case Action::Version:
                out_.write("kavlo-ipfinder " KAVLO_VERSION_TEXT);
                out_.write(kNewline);
                return false;
            case Action::EndOfOptions: options = false; break;
        }
    }
    if (count == 0) sources[count++] = {Source::Kind::StandardInput, 0};
    return true;
}

void Program::failed(std::string_view file, std::string_view what, std::string_view why) noexcept {
    // "list.txt: No such file or directory", as other tools say it.
    char text[kEscapedRoom + 256];
    char* end = file.empty() ? append(text, "standard input") : appendEscaped(text, file, file.size(), false);
    end = append(append(append(end, ": "), what), why);
    complain({text, static_cast<std::size_t>(end - text)});
    status_ = kTrouble;
}

void Program::read(const Source& source, std::span<const Argument> arguments) noexcept {
    if (source.kind == Source::Kind::Text) {
        const std::string_view text = arguments[source.argument].text;
        const Origin origin{"argument", source.argument + 1, {}};
        if (mode_ != Mode::Extract) {
            handle(text, text.size(), origin);
            return;
        }
        TextSource input(text);
        extract(input, origin, false);
        return;
    }
    const bool file = source.kind == Source::Kind::File;
    Input input = file ? Input(arguments[source.argument]) : Input();
    const std::string_view name = file ? arguments[source.argument].text : std::string_view{};
    if (!input.error().empty()) return failed(name, {}, input.error());
    if (mode_ == Mode::Extract) return extract(input, {"line", 0, name}, true);
    readLines(input, name);
}

void Program::readLines(ByteSource& input, std::string_view file) noexcept {
    LineReader reader(input, &Program::flushBeforeRead, this);
    Line line{};
    while (reader.next(line)) {
        if (!handle(line.head, line.size, {"line", line.number, file})) return;
    }
    if (!reader.failure().empty()) failed(file, "cannot be read: ", reader.failure());
}

void Program::extract(ByteSource& input, Origin origin, bool byLine) noexcept {
    HashFinder finder(input, &Program::flushBeforeRead, this);
    FoundHash hash{};
    while (finder.next(hash)) {
        found_ = true;
        if (byLine) origin.number = hash.line;
        if (!handle(hash.text, hash.text.size(), origin)) return;
    }
    if (!finder.failure().empty()) failed(origin.file, "cannot be read: ", finder.failure());
}

char* Program::writeOrigin(char* out, const Origin& origin) const noexcept {
    if (!origin.file.empty()) {
        out = appendJson(append(out, ", \"file\": "), firstBytes(origin.file, kFileNameShown), origin.file.size());
    }
    out = append(append(append(out, ", \""), origin.kind), "\": ");
    return appendNumber(out, origin.number);
}

bool Program::handle(std::string_view head, std::uint64_t size, const Origin& origin) noexcept {
    if (!room(kLineRoom)) return false;
    char* const start = block_ + used_;
    char* out = start;
    if (format_ == Format::Tsv) out = append(appendEscaped(out, head, size, false), "\t");
    if (format_ == Format::Json) out = append(appendJson(append(out, "{\"input\": "), head, size), ", ");
    // The problem's words, which `problem` may point into past the branch that writes them.
    // cppcheck-suppress variableScope
    char words[64];
    std::string_view problem;
    if (mode_ == Mode::Encode) {
        if (size > LineReader::kHeadSize) {
            problem = "too long for an address and port";
        } else if (const AddressReading reading = readAddress(head); reading.problem != AddressProblem::None) {
            problem = describe(reading, words);
        } else {
            if (format_ == Format::Json) out = append(out, "\"hash\": \"");
            out = writeHash(reading.address, out);
            if (format_ == Format::Json) out = append(out, "\"");
        }
    } else {
        Address address{};
        switch (decodeText(head, size, address)) {
            case HashVerdict::WrongLength: problem = "Please enter 12 digits"; break;
            case HashVerdict::NotHex: problem = "Please enter hex digits"; break;
            case HashVerdict::Address:
                if (format_ != Format::Json) {
                    out = writeAddress(address, out);
                    break;
                }
                // "a.b.c.d:port" split at its colon into the address and the port.
                char text[kAddressTextRoom];
                const std::string_view written(text, static_cast<std::size_t>(writeAddress(address, text) - text));
                const std::size_t colon = written.find(':');
                out = append(append(append(out, "\"address\": \""), firstBytes(written, colon)), "\", \"port\": ");
                out = append(out, bytesAfter(written, colon + 1));
                break;
        }
    }
    if (!problem.empty()) {
        status_ = std::max<int>(status_, kSomeBad);
        if (format_ == Format::Plain) return report(head, size, origin, problem);
        out = format_ == Format::Json ? append(append(append(out, "\"error\": \""), problem), "\"")
                                      : append(out, problem);  // in the result's place
    }
    if (format_ == Format::Json) out = append(writeOrigin(out, origin), "}");
    out = append(out, kNewline);
    used_ += static_cast<std::size_t>(out - start);
    return true;
}

bool Program::report(std::string_view head, std::uint64_t size, const Origin& origin, std::string_view problem) noexcept {
    char text[3 * kEscapedRoom + 128];
    char* out = text;
    if (!origin.file.empty()) {
        out = append(appendEscaped(out, origin.file, origin.file.size(), false), ": ");
    }
    out = append(out, origin.kind);
    *out++ = ' ';
    out = append(appendNumber(out, origin.number), ": ");
    out = append(append(appendEscaped(out, head, size, true), ": "), problem);
    complain({text, static_cast<std::size_t>(out - text)});
    return !stopped_;
}

int Program::run(std::span<const Argument> arguments) noexcept {
    // At most one input an argument, or standard input alone.
    const std::unique_ptr<Source[], FreeDeleter> sources(
        static_cast<Source*>(std::malloc((arguments.size() + 1) * sizeof(Source))));
    if (!sources) {
        complain("out of memory");
        return kTrouble;
    }
    std::size_t count = 0;
    if (parse(arguments, sources.get(), count)) {
        for (std::size_t i = 0; i < count && !stopped_; ++i) read(sources[i], arguments);
    }
    flush();
    if (mode_ == Mode::Extract && status_ != kTrouble) return found_ ? kAllGood : kSomeBad;
    return status_;
}

}  // namespace

int run(std::span<const Argument> arguments) noexcept {
    Program program;
    return program.run(arguments);
}

}  // namespace kavlo::cli
