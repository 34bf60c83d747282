// kavlo-ipfinder: decodes user hash numbers from the command line, standard input or files, one a
// line, with the window's rules; with --encode, makes the hash of an address and port; with
// --extract, finds and decodes every hash in any text.
#include "encode.h"
#include "extract.h"
#include "formats.h"
#include "lines.h"
#include "options.h"
#include "system_io.h"
#include "text.h"
#include "version.h"
#include "writer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <utility>

namespace kavlo::cli {
namespace {

constexpr std::string_view kName = KAVLO_CLI_INTERNAL_NAME;
constexpr std::string_view kPadding = "                   ";  // as far as the help's column
constexpr std::size_t kHelpColumn = kPadding.size();

constexpr std::string_view kAbout =
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

// --help's usage, made of the option table as the program is compiled: a line a mode, with its
// formats to choose from and its inputs, as "Usage: kavlo-ipfinder --extract [--tsv | --json]
// [TEXT...] [-] [-f FILE]...". `put` takes it a piece at a time.
template <typename Put>
constexpr void usage(Put&& put) {
    using Pieces = std::initializer_list<std::string_view>;
    std::string_view start = "Usage: ";
    forEachMode([&](const Option* mode, std::string_view inputs) {
        for (std::string_view piece : Pieces{start, kName, mode ? " " : "", mode ? mode->longName : "", " ["}) put(piece);
        std::string_view bar;
        for (const Option& option : kOptions) {
            if (option.action == Action::SetFormat) put(std::exchange(bar, " | ")), put(option.longName);
        }
        for (std::string_view piece : Pieces{"] [", inputs, "...] [-]"}) put(piece);
        for (const Option& option : kOptions) {
            if (option.action != Action::File) continue;
            for (std::string_view piece : Pieces{" [", option.shortName, " ", option.argument, "]..."}) put(piece);
        }
        put("\n");
        start = "       ";
    });
}
constexpr auto kUsage = [] {
    constexpr std::size_t kSize = [] {
        std::size_t size = 0;
        usage([&size](std::string_view piece) { size += piece.size(); });
        return size;
    }();
    std::array<char, kSize> text{};
    std::size_t at = 0;
    usage([&](std::string_view piece) {
        for (const char c : piece) text[at++] = c;
    });
    return text;
}();

enum Status { kAllGood = 0, kSomeBad = 1, kTrouble = 2 };

class Program {
public:
    Program() noexcept : out_(Output::Stream::Out), err_(Output::Stream::Err) {}

    int run(std::span<const Argument> arguments) noexcept;

private:
    // Goes through the arguments: first for the settings, which it takes, and then (`reading`) for
    // the inputs, which it reads in the order given. False when nothing is to be read: after --help
    // or --version, or a usage error.
    bool walk(bool reading) noexcept;
    // What an option, named as `typed`, does, with its value (given as "--file=x" or the next argument).
    bool take(const Option& option, std::string_view typed, const Argument* value) noexcept;
    void printHelp() noexcept;
    void read(From from, std::size_t index, const Argument& argument) noexcept;
    void readLines(ByteSource& input, const Origin& origin, TextState& state) noexcept;
    // Every hash in the text, each with its origin (its line's number, where the format says where).
    void extract(ByteSource& input, Origin origin, TextState& state) noexcept;
    template <typename Reader>
    void ended(const Reader& reader, const Origin& origin) noexcept;
    void failed(const Origin& origin, std::string_view what, std::string_view why) noexcept;
    // One input: a hash (known to be twelve hex digits where `hexDigits`), or an address and port
    // with --encode. False once nothing more is to be done.
    bool handle(std::string_view head, std::uint64_t size, const Origin& origin, bool hexDigits = false) noexcept;
    // What handle() does for twelve hex digits in plain output, the common case of a list or a log:
    // their address's line, put straight into the output's block in the reading loop, past the
    // general answer and its format's call.
    bool handleAddress(const char* digits) noexcept {
        if (!stopped()) {
            out_.putInPlace<kLongestAddressText + kNewline.size()>([digits](char* first, char* last) {
                char* end = writeAddress(decodeHexDigits(digits), first, last);
                return std::copy(kNewline.begin(), kNewline.end(), end);
            });
        }
        return !stopped();
    }
    // Whether a hash's answer is its address's line alone, for handleAddress().
    [[nodiscard]] bool plainAddresses() const noexcept {
        return mode_ != Mode::Encode && style_ == &styleOf(Format::Plain);
    }
    bool usageError(std::string_view before, std::string_view quoted, std::string_view after = {},
                    std::string_view other = {}) noexcept;
    // A line on standard error. Where standard output and error go to one place (a terminal, one
    // file or pipe), it comes after what standard output holds before it, and goes at once; else
    // both are gathered, so that a bad input costs no write of its own. None once standard
    // output's reader has gone.
    void startMessage() noexcept {
        if (together_) out_.flush();
        if (out_.failed() && out_.output().closed()) err_.discard();
        err_.put(kName, ": ");
    }
    void endMessage() noexcept {
        if (together_) err_.flush();
    }
    template <typename... Pieces>
    void complain(const Pieces&... pieces) noexcept {
        startMessage();
        err_.put(pieces..., kNewline);
        endMessage();
    }

    // Nothing more is done once standard output cannot be written, or standard error's reader has
    // gone (a closed pipe, as in "| head"), which wants no more and hears nothing. Always inlined:
    // a function of its own, its unwind records took the 64-bit Windows exe past its 44 KiB.
    [[nodiscard, gnu::always_inline]] bool stopped() const noexcept { return out_.failed() || messagesUnread(); }
    [[nodiscard]] bool messagesUnread() const noexcept { return err_.failed() && err_.output().closed(); }
    // Output is written before each read, which may wait for a person, and nothing more is read
    // once that is seen to be in vain.
    static bool flushBeforeRead(void* self) noexcept {
        auto& program = *static_cast<Program*>(self);
        program.out_.flush();
        if (program.out_.failed() && program.out_.output().closed()) program.err_.discard();
        program.err_.flush();
        return !program.stopped();
    }

    Writer out_;
    Writer err_;
    bool together_ = out_.output().sameDestination(err_.output());
    std::span<const Argument> arguments_;
    Mode mode_ = Mode::Decode;
    const FormatStyle* style_ = &styleOf(Format::Plain);
    const Option* setBy_[2] = {nullptr, nullptr};  // the options that set the mode and the format
    bool found_ = false;                           // --extract found a hash
    TextState standardInput_;                      // how far standard input has been read
    int status_ = kAllGood;
};

// "unknown option "--hex"", or with a second part: ""--json" cannot go with "--tsv"".
bool Program::usageError(std::string_view before, std::string_view quoted, std::string_view after,
                         std::string_view other) noexcept {
    complain(before, Escaped{firstBytes(quoted, kShownBytes), Escaped::Quoted}, quoted.size() > kShownBytes ? "..." : "",
             after, Escaped{other, other.empty() ? Escaped::Terminal : Escaped::Quoted});
    err_.put(kTryHelp, kNewline);
    endMessage();
    status_ = kTrouble;
    return false;
}

void Program::printHelp() noexcept {
    const auto lines = [this](std::string_view block) {
        for (std::size_t at; (at = block.find('\n')) != std::string_view::npos; block.remove_prefix(at + 1)) {
            out_.put(firstBytes(block, at), kNewline);
        }
    };
    lines({kUsage.data(), kUsage.size()});
    lines(kAbout);
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

bool Program::walk(bool reading) noexcept {
    bool options = true;  // "--" has not been seen
    bool inputs = false;
    for (std::size_t i = 0; i < arguments_.size() && !(reading && stopped()); ++i) {
        const std::string_view argument = arguments_[i].text;
        if (!options || argument.size() < 2 || argument[0] != '-') {
            inputs = true;
            if (reading) read(argument == "-" && options ? From::StandardInput : From::Argument, i, arguments_[i]);
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
            Argument value = argumentAfter(arguments_[i], isLong ? nameEnd + 1 : nameEnd);
            if (!valued && !option->argument.empty()) {
                if (i + 1 == arguments_.size()) return usageError("a file name must follow ", name);
                value = arguments_[++i];
            }
            if (option->action == Action::EndOfOptions) options = false;
            if (option->action == Action::File) inputs = true;
            if (reading && option->action == Action::File) read(From::File, i, value);
            if (!reading && !take(*option, name, &value)) return false;
            if (isLong || !option->argument.empty()) break;
        }
    }
    if (reading && !inputs) read(From::StandardInput, 0, {});
    return true;
}

bool Program::take(const Option& option, std::string_view typed, const Argument* value) noexcept {
    switch (option.action) {
        case Action::SetMode:
        case Action::SetFormat: {
            const Option*& earlier = setBy_[option.action == Action::SetFormat];
            if (earlier && earlier != &option) return usageError("", typed, " cannot go with ", earlier->longName);
            earlier = &option;
            if (option.action == Action::SetMode) mode_ = static_cast<Mode>(option.value);
            if (option.action == Action::SetFormat) style_ = &styleOf(static_cast<Format>(option.value));
            return true;
        }
        case Action::Help: printHelp(); return false;
        case Action::Version: out_.put(kName, " " KAVLO_VERSION_TEXT, kNewline); return false;
        case Action::File:
        case Action::EndOfOptions: return value != nullptr;  // taken as the arguments are walked
    }
    return true;
}

void Program::failed(const Origin& origin, std::string_view what, std::string_view why) noexcept {
    // "list.txt: No such file or directory", as other tools say it.
    complain(origin.fromFile() ? fileName(origin.file) : Escaped{"standard input"}, ": ", what, why);
    status_ = kTrouble;
}

void Program::read(From from, std::size_t index, const Argument& argument) noexcept {
    if (from == From::Argument) {
        const Origin origin{from, index + 1, {}};
        TextSource text(argument.text);
        TextState state;
        if (mode_ == Mode::Extract) return extract(text, origin, state);
        handle(argument.text, argument.text.size(), origin);
        return;
    }
    Input input = from == From::File ? Input(argument) : Input();
    const Origin origin{from, 0, argument.text};
    if (!input.error().empty()) return failed(origin, {}, input.error());
    // Standard input is one text however often it is named: each reading goes on from the last.
    TextState file{};
    TextState& state = from == From::File ? file : standardInput_;
    if (mode_ == Mode::Extract) return extract(input, origin, state);
    readLines(input, origin, state);
}

// After a reader: why it stopped early, or what is wrong with the text as a whole.
template <typename Reader>
void Program::ended(const Reader& reader, const Origin& origin) noexcept {
    if (!reader.failure().empty()) failed(origin, "cannot be read: ", reader.failure());
    if (reader.failure().empty() && !reader.flaw().empty()) failed(origin, {}, reader.flaw());
}

void Program::readLines(ByteSource& input, const Origin& origin, TextState& state) noexcept {
    LineReader reader(input, &Program::flushBeforeRead, this, state);
    Line line{};
    const bool plain = plainAddresses();
    while (reader.next(line)) {
        const bool goOn = line.hexDigits && plain
                              ? handleAddress(line.head.data())
                              : handle(line.head, line.size, {origin.from, line.number, origin.file}, line.hexDigits);
        if (!goOn) return;
    }
    ended(reader, origin);
}

void Program::extract(ByteSource& input, Origin origin, TextState& state) noexcept {
    const bool byLine = origin.from != From::Argument;
    HashFinder finder(input, &Program::flushBeforeRead, this, byLine && style_->saysWhere, state);
    FoundHash hash{};
    const bool plain = plainAddresses();
    while (finder.next(hash)) {
        found_ = true;
        if (byLine) origin.number = hash.line;
        const bool goOn =
            plain ? handleAddress(hash.text.data()) : handle(hash.text, hash.text.size(), origin, true);
        if (!goOn) return;
    }
    ended(finder, origin);
}

bool Program::handle(std::string_view head, std::uint64_t size, const Origin& origin, bool hexDigits) noexcept {
    // A reader stopped before its next read may still hand out what it holds: a line cut short.
    if (stopped()) return false;
    Answer answer{head, size, origin, {}, mode_ == Mode::Encode, {}};
    if (hexDigits && mode_ != Mode::Encode) {
        answer.address = decodeHexDigits(head.data());  // the common case, at once
    } else if (mode_ == Mode::Encode) {
        const AddressReading reading = size > kShownBytes ? AddressReading{} : readAddress(head);
        answer.problem = size > kShownBytes ? ProblemWords{"", "too long for an address and port"} : reading.problem;
        answer.address = reading.address;
    } else {
        switch (decodeText(head, size, answer.address)) {
            case HashVerdict::WrongLength: answer.problem = {"", kWrongLengthMessage}; break;
            case HashVerdict::NotHex: answer.problem = {"", kNotHexMessage}; break;
            case HashVerdict::Address: break;
        }
    }
    const bool wrong = !answer.problem.what.empty();
    if (wrong) status_ = std::max<int>(status_, kSomeBad);
    if (!wrong || !style_->problemsApart) {
        style_->write(out_, answer);
        return !stopped();
    }
    startMessage();
    style_->write(err_, answer);
    endMessage();
    return !stopped();
}

int Program::run(std::span<const Argument> arguments) noexcept {
    arguments_ = arguments;
    if (walk(false)) walk(true);
    // Output held back with messages whose reader has gone goes with them, as it would with a signal.
    if (!messagesUnread() && !out_.flush() && !out_.output().closed()) {
        complain("cannot write the output: ", out_.output().error());
        status_ = kTrouble;
    }
    if (out_.failed() && out_.output().closed()) err_.discard();
    err_.flush();
    // Messages that could not be written (a full disk) are trouble too, but a reader that went
    // away wanted no more.
    if (!err_.output().error().empty() && !err_.output().closed()) status_ = kTrouble;
    if (mode_ == Mode::Extract && status_ != kTrouble) return found_ ? kAllGood : kSomeBad;
    return status_;
}

}  // namespace

int run(std::span<const NativeUnit* const> native) noexcept {
    // The arguments as UTF-8, in one block: their list, and then their texts.
    std::size_t bytes = native.size() * sizeof(Argument);
    for (const NativeUnit* argument : native) bytes += mostUtf8Bytes(argument);
    auto* arguments = static_cast<Argument*>(std::malloc(std::max<std::size_t>(bytes, 1)));
    if (!arguments) return kTrouble;
    char* text = reinterpret_cast<char*>(arguments + native.size());
    for (std::size_t i = 0; i < native.size(); ++i) {
        char* end = toUtf8(native[i], text);
        arguments[i] = {{text, static_cast<std::size_t>(end - text)}, native[i]};
        text = end;
    }
    Program program;
    const int status = program.run({arguments, native.size()});
    std::free(arguments);
    return status;
}

}  // namespace kavlo::cli
