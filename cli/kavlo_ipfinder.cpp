// kavlo-ipfinder: decodes user hash numbers from the command line, standard input or files, one a
// line, with the window's rules; with --encode, makes the hash of an address and port; with
// --extract, finds and decodes every hash in any text.
#include "encode.h"
#include "extract.h"
#include "lines.h"
#include "options.h"
#include "system_io.h"
#include "text.h"
#include "version.h"
#include "writer.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace kavlo::cli {
namespace {

constexpr std::string_view kName = KAVLO_CLI_INTERNAL_NAME;
constexpr std::string_view kPadding = "                   ";  // as far as the help's column
constexpr std::size_t kHelpColumn = kPadding.size();

constexpr std::string_view kUsage =
    "Usage: " KAVLO_CLI_INTERNAL_NAME " [--tsv | --json] [HASH...] [-] [-f FILE]...\n"
    "       " KAVLO_CLI_INTERNAL_NAME " --encode [--tsv | --json] [ADDRESS:PORT...] [-] [-f FILE]...\n"
    "       " KAVLO_CLI_INTERNAL_NAME " --extract [--tsv | --json] [TEXT...] [-] [-f FILE]...\n"
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
constexpr std::string_view kTryHelp = "Try '" KAVLO_CLI_INTERNAL_NAME " --help'.";

enum Status { kAllGood = 0, kSomeBad = 1, kTrouble = 2 };

// An input, in the order given: an argument's text, standard input, or a file.
struct Source {
    enum class Kind { Text, StandardInput, File } kind;
    std::size_t index;  // the argument's: its text's, or the file name's
    Argument argument;  // the text, or the file name
};
struct FreeDeleter {
    void operator()(void* block) const noexcept { std::free(block); }
};

// Where an input came from, for messages and JSON: "argument 2", "line 7", "list.txt: line 7".
struct Origin {
    Source::Kind source;
    std::uint64_t number;
    std::string_view file;  // the file's name, for a file (which may be empty)
    [[nodiscard]] std::string_view kind() const noexcept { return source == Source::Kind::Text ? "argument" : "line"; }
    [[nodiscard]] bool fromFile() const noexcept { return source == Source::Kind::File; }
};
// A file's name as messages show it: escaped, and an empty one as ''.
Escaped fileName(std::string_view file) noexcept { return {file.empty() ? "''" : file}; }

class Program {
public:
    Program() noexcept : out_(Output::Stream::Out), err_(Output::Stream::Err) {}

    int run(std::span<const Argument> arguments) noexcept;

private:
    bool parse() noexcept;
    // What an option, named as `typed`, does, with the value given it ("--file=x") or the next argument.
    bool take(const Option& option, std::string_view typed, const Argument* value, std::size_t& i) noexcept;
    void printHelp() noexcept;
    void read(const Source& source) noexcept;
    void readLines(ByteSource& input, const Origin& origin) noexcept;
    // Every hash in the text, each with the origin (its line's number, where `byLine`).
    void extract(ByteSource& input, Origin origin, bool byLine) noexcept;
    void failed(const Origin& origin, std::string_view what, std::string_view why) noexcept;
    // One input: a hash, or an address and port with --encode. False once nothing more is to be done.
    bool handle(std::string_view head, std::uint64_t size, const Origin& origin) noexcept;
    void putResult(std::string_view head, std::uint64_t size, ProblemWords& problem) noexcept;
    void putAddress(const Address& address) noexcept {
        out_.putInPlace(kLongestAddressText, [&](char* first, char* last) { return writeAddress(address, first, last); });
    }
    // Twelve hex digits in plain output, the common case, at once. False once nothing more is to be done.
    bool putHash(std::string_view digits) noexcept;
    // A bad input's line on standard error.
    bool report(std::string_view head, std::uint64_t size, const Origin& origin, const ProblemWords& problem) noexcept;
    bool usageError(std::string_view before, std::string_view quoted, std::string_view after = {},
                    std::string_view other = {}) noexcept;
    // A line on standard error, after what came before it on standard output; none once standard
    // output's reader has gone.
    template <typename... Pieces>
    void complain(const Pieces&... pieces) noexcept {
        if (!out_.flush() && out_.output().closed()) err_.discard();
        err_.put(kName, ": ", pieces..., kNewline);
        err_.flush();
    }
    // An input is shown by its first bytes, and then "..." where it had more (`size` in all).
    static std::string_view shown(std::string_view head) noexcept { return firstBytes(head, kShownBytes); }
    static std::string_view more(std::uint64_t size) noexcept { return size > kShownBytes ? "..." : ""; }

    // Nothing more is done once standard output cannot be written, or standard error's reader has
    // gone (a closed pipe, as in "| head"), which wants no more and hears nothing.
    [[nodiscard]] bool stopped() const noexcept { return out_.failed() || (err_.failed() && err_.output().closed()); }
    // Output is written before each read, which may wait for a person, and nothing more is read
    // once that is seen to be in vain.
    static bool flushBeforeRead(void* self) noexcept {
        auto& program = *static_cast<Program*>(self);
        program.out_.flush();
        return !program.stopped();
    }

    Writer out_;
    Writer err_;
    std::span<const Argument> arguments_;
    std::unique_ptr<Source[], FreeDeleter> sources_;  // the inputs, in the order given
    std::size_t count_ = 0;
    Mode mode_ = Mode::Decode;
    Format format_ = Format::Plain;
    const Option* setBy_[2] = {nullptr, nullptr};  // the options that set the mode and the format
    bool options_ = true;                          // "--" has not been seen
    bool found_ = false;                           // --extract found a hash
    int status_ = kAllGood;
};

// "unknown option "--hex"", or with a second part: ""--json" cannot go with "--tsv"".
bool Program::usageError(std::string_view before, std::string_view quoted, std::string_view after,
                         std::string_view other) noexcept {
    complain(before, Escaped{shown(quoted), Escaped::Quoted}, more(quoted.size()), after,
             Escaped{other, other.empty() ? Escaped::Terminal : Escaped::Quoted});
    err_.put(kTryHelp, kNewline);
    err_.flush();
    status_ = kTrouble;
    return false;
}

void Program::printHelp() noexcept {
    const auto lines = [this](std::string_view block) {
        for (std::size_t at; (at = block.find('\n')) != std::string_view::npos; block.remove_prefix(at + 1)) {
            out_.put(firstBytes(block, at), kNewline);
        }
    };
    lines(kUsage);
    for (const Option& option : kOptions) {
        const std::string_view comma = option.shortName.empty() ? "" : ", ";
        const std::string_view space = option.argument.empty() ? "" : " ";
        out_.put("  ", option.shortName, comma, option.longName, space, option.argument);
        std::size_t column = 2 + option.shortName.size() + comma.size() + option.longName.size() + space.size() +
                             option.argument.size();
        // The help's lines, the first beside the names and the others below it.
        for (std::string_view help = option.help; !help.empty(); column = 0) {
            const std::size_t at = std::min(help.find('\n'), help.size());
            out_.put(firstBytes(kPadding, kHelpColumn - std::min(column, kHelpColumn - 1)), firstBytes(help, at), kNewline);
            help = bytesAfter(help, at + 1);
        }
    }
    lines(kExitStatus);
}

// Reads the arguments, once, into the settings and the inputs in the order given. False when
// nothing is to be read: after --help or --version, or a usage error.
bool Program::parse() noexcept {
    for (std::size_t i = 0; i < arguments_.size(); ++i) {
        const std::string_view argument = arguments_[i].text;
        if (!options_ || argument.size() < 2 || argument[0] != '-') {
            const bool standardInput = argument == "-" && options_;
            sources_[count_++] = {standardInput ? Source::Kind::StandardInput : Source::Kind::Text, i, arguments_[i]};
            continue;
        }
        // "--name" or "--name=VALUE"; or one or more short options: "-x", "-xe", "-fFILE", "-xfFILE".
        const bool isLong = argument[1] == '-';
        for (std::size_t at = 1; at < argument.size(); ++at) {
            const std::size_t nameEnd = isLong ? std::min(argument.find('='), argument.size()) : at + 1;
            const char letter[] = {'-', argument[at]};
            const std::string_view name = isLong ? firstBytes(argument, nameEnd) : std::string_view(letter, 2);
            const Option* option = std::find_if(std::begin(kOptions), std::end(kOptions), [&](const Option& o) {
                return (isLong ? o.longName : o.shortName) == name;
            });
            if (option == std::end(kOptions) && !isLong) {
                // A letter not in ASCII is shown whole: all the bytes of its character.
                char character[5] = {'-'};
                const std::string_view bytes = firstBytes(bytesAfter(argument, at), decodeStep(bytesAfter(argument, at)).length);
                return usageError("unknown option ", {character, std::copy(bytes.begin(), bytes.end(), character + 1)});
            }
            if (option == std::end(kOptions)) return usageError("unknown option ", name);
            const bool valued = nameEnd < argument.size() && (isLong || !option->argument.empty());
            if (valued && option->argument.empty()) return usageError("", name, " takes no value");
            const Argument value = argumentAfter(arguments_[i], isLong ? nameEnd + 1 : nameEnd);
            if (!take(*option, name, valued ? &value : nullptr, i)) return false;
            if (isLong || valued) break;
        }
    }
    if (count_ == 0) sources_[count_++] = {Source::Kind::StandardInput, 0, {}};
    return true;
}

bool Program::take(const Option& option, std::string_view typed, const Argument* value, std::size_t& i) noexcept {
    switch (option.action) {
        case Action::SetMode:
        case Action::SetFormat: {
            const Option*& earlier = setBy_[option.action == Action::SetFormat];
            if (earlier && earlier != &option) return usageError("", typed, " cannot go with ", earlier->longName);
            earlier = &option;
            if (option.action == Action::SetMode) mode_ = static_cast<Mode>(option.value);
            if (option.action == Action::SetFormat) format_ = static_cast<Format>(option.value);
            return true;
        }
        case Action::File:
            if (!value && i + 1 == arguments_.size()) return usageError("a file name must follow ", typed);
            if (!value) value = &arguments_[++i];
            sources_[count_++] = {Source::Kind::File, i, *value};
            return true;
        case Action::Help: printHelp(); return false;
        case Action::Version: out_.put(kName, " " KAVLO_VERSION_TEXT, kNewline); return false;
        case Action::EndOfOptions: options_ = false; return true;
    }
    return true;
}

void Program::failed(const Origin& origin, std::string_view what, std::string_view why) noexcept {
    // "list.txt: No such file or directory", as other tools say it.
    complain(origin.fromFile() ? fileName(origin.file) : Escaped{"standard input"}, ": ", what, why);
    status_ = kTrouble;
}

void Program::read(const Source& source) noexcept {
    if (source.kind == Source::Kind::Text) {
        const Origin origin{source.kind, source.index + 1, {}};
        TextSource text(source.argument.text);
        if (mode_ == Mode::Extract) return extract(text, origin, false);
        handle(source.argument.text, source.argument.text.size(), origin);
        return;
    }
    const bool file = source.kind == Source::Kind::File;
    Input input = file ? Input(source.argument) : Input();
    const Origin origin{source.kind, 0, file ? source.argument.text : std::string_view{}};
    if (!input.error().empty()) return failed(origin, {}, input.error());
    if (mode_ == Mode::Extract) return extract(input, origin, true);
    readLines(input, origin);
}

void Program::readLines(ByteSource& input, const Origin& origin) noexcept {
    LineReader reader(input, &Program::flushBeforeRead, this);
    Line line{};
    while (reader.next(line)) {
        const bool common = line.hexDigits && mode_ == Mode::Decode && format_ == Format::Plain;
        if (!(common ? putHash(line.head) : handle(line.head, line.size, {origin.source, line.number, origin.file}))) return;
    }
    if (!reader.failure().empty()) failed(origin, "cannot be read: ", reader.failure());
}

void Program::extract(ByteSource& input, Origin origin, bool byLine) noexcept {
    HashFinder finder(input, &Program::flushBeforeRead, this, format_ == Format::Json);  // only JSON says the line
    FoundHash hash{};
    while (finder.next(hash)) {
        found_ = true;
        if (byLine) origin.number = hash.line;
        if (!(format_ == Format::Plain ? putHash(hash.text) : handle(hash.text, hash.text.size(), origin))) return;
    }
    if (!finder.failure().empty()) failed(origin, "cannot be read: ", finder.failure());
}

bool Program::handle(std::string_view head, std::uint64_t size, const Origin& origin) noexcept {
    // A reader stopped before its next read may still hand out what it holds: a line cut short.
    if (stopped()) return false;
    if (format_ == Format::Tsv) out_.put(Escaped{shown(head)}, more(size), '\t');
    if (format_ == Format::Json) {
        // What TSV shows, and where that is cut, how long the input was.
        out_.put("{\"input\": \"", Escaped{shown(head), Escaped::Json}, more(size), "\", ");
        if (size > kShownBytes) out_.put("\"input_bytes\": ", size, ", ");
    }
    ProblemWords problem{};
    putResult(head, size, problem);
    if (!problem.what.empty()) {
        status_ = std::max<int>(status_, kSomeBad);
        if (format_ == Format::Plain) return report(head, size, origin, problem);
        if (format_ == Format::Tsv) out_.put(problem.part, problem.what);  // in the result's place
        if (format_ == Format::Json) out_.put("\"error\": \"", problem.part, problem.what, '"');
    }
    if (format_ == Format::Json) {
        if (origin.fromFile()) out_.put(", \"file\": \"", Escaped{origin.file, Escaped::Json}, '"');
        out_.put(", \"", origin.kind(), "\": ", origin.number, '}');
    }
    out_.put(kNewline);
    return !stopped();
}

bool Program::putHash(std::string_view digits) noexcept {
    if (stopped()) return false;
    const Address address = decodeHexDigits(digits.data());
    out_.putInPlace(kLongestAddressText + kNewline.size(), [&address](char* first, char* last) {
        char* end = writeAddress(address, first, last);
        return end == first ? end : std::copy(kNewline.begin(), kNewline.end(), end);
    });
    return true;
}

// The hash or the address and port, or in `problem` what is wrong.
void Program::putResult(std::string_view head, std::uint64_t size, ProblemWords& problem) noexcept {
    const bool json = format_ == Format::Json;
    if (mode_ == Mode::Encode) {
        const AddressReading reading = size > kShownBytes ? AddressReading{} : readAddress(head);
        problem = size > kShownBytes ? ProblemWords{"", "too long for an address and port"} : reading.problem;
        if (!problem.what.empty()) return;
        if (json) out_.put("\"hash\": \"");
        out_.putInPlace(kHashLength, [&](char* first, char* last) { return writeHash(reading.address, first, last); });
        if (json) out_.put('"');
        return;
    }
    Address address{};
    switch (decodeText(head, size, address)) {
        case HashVerdict::WrongLength: problem = {"", kWrongLengthMessage}; return;
        case HashVerdict::NotHex: problem = {"", kNotHexMessage}; return;
        case HashVerdict::Address: break;
    }
    if (!json) return putAddress(address);
    const auto& octets = address.octets;
    out_.put("\"address\": \"", octets[0], '.', octets[1], '.', octets[2], '.', octets[3], "\", \"port\": ", address.port);
}

bool Program::report(std::string_view head, std::uint64_t size, const Origin& origin, const ProblemWords& problem) noexcept {
    complain(origin.fromFile() ? fileName(origin.file) : Escaped{}, origin.fromFile() ? ": " : "", origin.kind(), ' ',
             origin.number, ": ", Escaped{shown(head), Escaped::Quoted}, more(size), ": ", problem.part, problem.what);
    return !stopped();
}

int Program::run(std::span<const Argument> arguments) noexcept {
    // At most one input an argument, or standard input alone.
    sources_.reset(static_cast<Source*>(std::malloc((arguments.size() + 1) * sizeof(Source))));
    arguments_ = arguments;
    if (!sources_) {
        complain("out of memory");
        return kTrouble;
    }
    if (parse()) {
        for (std::size_t i = 0; i < count_ && !stopped(); ++i) read(sources_[i]);
    }
    if (!out_.flush() && !out_.output().closed()) {
        complain("cannot write the output: ", out_.output().error());
        status_ = kTrouble;
    }
    // Messages that could not be written (a full disk) are trouble too, but a reader that went
    // away wanted no more.
    if (!err_.output().error().empty() && !err_.output().closed()) status_ = kTrouble;
    if (mode_ == Mode::Extract && status_ != kTrouble) return found_ ? kAllGood : kSomeBad;
    return status_;
}

}  // namespace

int run(std::span<const Argument> arguments) noexcept {
    Program program;
    return program.run(arguments);
}

}  // namespace kavlo::cli
