// kavlo-ipfinder: decodes user hash numbers from the command line, standard input or files, one a
// line, with the window's rules; or, with --encode, makes the hash of an address and port.
#include "encode.h"
#include "hash_text.h"
#include "io.h"
#include "lines.h"
#include "version.h"

#include <algorithm>
#include <cstdint>

namespace kavlo::cli {
namespace {

constexpr std::string_view kName = "kavlo-ipfinder";
constexpr std::string_view kHelp =
    "Usage: kavlo-ipfinder [--tsv] [HASH...] [-] [-f FILE]...\n"
    "       kavlo-ipfinder --encode [--tsv] [ADDRESS:PORT...] [-] [-f FILE]...\n"
    "\n"
    "Decodes twelve-digit user hash numbers into the IPv4 address and port they encode, one\n"
    "a.b.c.d:port line each, in order: 0100A8C01F90 gives 192.168.0.1:8080. Hashes come from the\n"
    "arguments, from standard input (-, or when nothing else is named) and from files (-f), one a\n"
    "line; spaces and tabs around a line are ignored, and blank lines skipped.\n"
    "\n"
    "  -e, --encode     make the hash of each address and port instead: 192.168.0.1:8080 gives\n"
    "                   0100A8C01F90\n"
    "  -f, --file FILE  read FILE, one a line (may be given more than once)\n"
    "  --tsv            print each input, a tab, and its result or what is wrong with it\n"
    "  -h, --help       print this help\n"
    "  --version        print the version\n"
    "  --               what follows is input, even if it starts with -\n"
    "\n"
    "A bad input is reported on standard error, and the rest go on. Exit status: 0 when every\n"
    "input was good, 1 when any was bad, 2 for a usage error or a file that could not be read.\n";

enum Status { kAllGood = 0, kSomeBad = 1, kTrouble = 2 };

// Where an input came from, for messages: "argument 2", "line 7", "list.txt: line 7".
struct Origin {
    const char* kind;
    std::uint64_t number;
    std::string_view file;  // empty for arguments and standard input
};

// Appends `text`, of `size` bytes in all, so that it is safe and unambiguous on a terminal and in a
// tab-separated column: control characters, backslash and (quoted) the double quote are escaped.
// At most its first LineReader::kHeadSize bytes are shown; "..." says there were more.
char* appendEscaped(char* out, std::string_view text, std::uint64_t size, bool quoted) noexcept {
    if (quoted) *out++ = '"';
    text = {text.data(), std::min(text.size(), LineReader::kHeadSize)};
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\t') {
            out = std::copy_n("\\t", 2, out);
        } else if (byte == '\\' || (quoted && byte == '"')) {
            *out++ = '\\';
            *out++ = c;
        } else if (byte < 0x20 || byte == 0x7F) {
            constexpr char kDigits[] = "0123456789ABCDEF";
            out = std::copy_n("\\x", 2, out);
            *out++ = kDigits[byte >> 4];
            *out++ = kDigits[byte & 0xF];
        } else {
            *out++ = c;
        }
    }
    if (quoted) *out++ = '"';
    if (size > text.size()) out = std::copy_n("...", 3, out);
    return out;
}
char* appendNumber(char* out, std::uint64_t value) noexcept {
    char digits[20];
    int count = 0;
    do digits[count++] = static_cast<char>('0' + value % 10); while ((value /= 10) != 0);
    while (count > 0) *out++ = digits[--count];
    return out;
}
char* append(char* out, std::string_view text) noexcept { return std::copy(text.begin(), text.end(), out); }

// The most appendEscaped writes for a text of up to LineReader::kHeadSize bytes.
constexpr std::size_t kEscapedRoom = 4 * LineReader::kHeadSize + 5;

// How many UTF-16 code units the UTF-8 text is: the window counts those. Each sequence is one unit,
// or two for a four-byte one; a byte that fits no sequence counts as one, as Windows makes it U+FFFD.
// No sequence is longer than three bytes a unit, so a text of more than 36 bytes has more than 12.
std::uint64_t utf16Units(std::string_view text) noexcept {
    std::uint64_t units = 0;
    for (std::size_t i = 0; i < text.size(); ++units) {
        const auto lead = static_cast<unsigned char>(text[i++]);
        const std::size_t length = lead >= 0xF0 && lead <= 0xF7 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        for (std::size_t k = 1; k < length && i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80; ++k) {
            ++i;
        }
        if (length == 4) ++units;
    }
    return units;
}
constexpr std::uint64_t kMostBytesOfTwelveUnits = 3 * kHashLength;
static_assert(LineReader::kHeadSize >= kMostBytesOfTwelveUnits, "a text that may be twelve units is read whole");

// The window's verdict on a text it would hold as UTF-16, for the UTF-8 text whose first bytes are
// `head` and whose size is `size`.
HashVerdict decodeText(std::string_view head, std::uint64_t size, Address& address) noexcept {
    if (size > kMostBytesOfTwelveUnits) return HashVerdict::WrongLength;
    // Twelve hex digits are twelve ASCII bytes, so the bytes are read directly first; only a text
    // that is not an address can hold other characters, whose units then decide its message.
    const HashVerdict verdict = decodeHash(head, address);
    if (verdict == HashVerdict::Address) return verdict;
    if (std::none_of(head.begin(), head.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
        return verdict;
    }
    return utf16Units(head) == kHashLength ? HashVerdict::NotHex : HashVerdict::WrongLength;
}

class Program {
public:
    Program() noexcept : out_(Output::Stream::Out), err_(Output::Stream::Err) {}

    int run(std::span<const Argument> arguments) noexcept;

private:
    bool takeOptions(std::span<const Argument> arguments) noexcept;
    void readAll(std::span<const Argument> arguments) noexcept;
    void readInput(Input& input, std::string_view file) noexcept;
    // One input: a hash, or an address and port with --encode. False once output is impossible.
    bool handle(std::string_view head, std::uint64_t size, const Origin& origin) noexcept;
    // A bad input's line on standard error.
    bool report(std::string_view head, std::uint64_t size, const Origin& origin, std::string_view problem) noexcept;
    bool usageError(std::string_view what, std::string_view argument) noexcept;
    void complain(std::string_view text) noexcept;

    // Output is gathered and written in large blocks: before each read, which may wait for a
    // person, and when the block is full.
    bool room(std::size_t size) noexcept { return sizeof block_ - used_ >= size || flush(); }
    bool flush() noexcept;
    static void flushBeforeRead(void* self) noexcept { static_cast<Program*>(self)->flush(); }

    Output out_;
    Output err_;
    bool encode_ = false;
    bool tsv_ = false;
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

bool Program::usageError(std::string_view what, std::string_view argument) noexcept {
    char text[kEscapedRoom + 64];
    char* end = append(text, what);
    end = appendEscaped(end, argument, argument.size(), true);
    complain({text, static_cast<std::size_t>(end - text)});
    err_.write("Try 'kavlo-ipfinder --help'.");
    err_.write(kNewline);
    status_ = kTrouble;
    return false;
}

bool Program::takeOptions(std::span<const Argument> arguments) noexcept {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i].text;
        if (argument == "--") break;
        if (argument.size() < 2 || argument[0] != '-') continue;
        if (argument == "-h" || argument == "--help") {
            for (std::string_view help = kHelp; !help.empty();) {
                const std::size_t end = help.find('\n');
                out_.write({help.data(), end});
                out_.write(kNewline);
                help.remove_prefix(end + 1);
            }
            return false;
        }
        if (argument == "--version") {
            out_.write("kavlo-ipfinder " KAVLO_VERSION_TEXT);
            out_.write(kNewline);
            return false;
        }
        if (argument == "-e" || argument == "--encode") {
            encode_ = true;
        } else if (argument == "--tsv") {
            tsv_ = true;
        } else if (argument == "-f" || argument == "--file") {
            if (++i == arguments.size()) return usageError("a file name must follow ", argument);
        } else {
            return usageError("unknown option ", argument);
        }
    }
    return true;
}

void Program::readAll(std::span<const Argument> arguments) noexcept {
    bool named = false;  // anything to read: otherwise standard input is read
    bool options = true;
    for (std::size_t i = 0; i < arguments.size() && !stopped_; ++i) {
        const std::string_view argument = arguments[i].text;
        if (options && argument == "--") {
            options = false;
        } else if (argument == "-") {
            named = true;
            Input input;
            readInput(input, {});
        } else if (options && (argument == "-f" || argument == "--file")) {
            named = true;
            Input input(arguments[++i]);
            readInput(input, arguments[i].text);
        } else if (!options || argument.size() < 2 || argument[0] != '-') {
            named = true;
            handle(argument, argument.size(), {"argument", i + 1, {}});
        }
    }
    if (!named && !stopped_) {
        Input input;
        readInput(input, {});
    }
}

void Program::readInput(Input& input, std::string_view file) noexcept {
    // "list.txt: No such file or directory", as other tools say it.
    const auto failed = [&](std::string_view what, std::string_view why) {
        char text[kEscapedRoom + 256];
        char* end = file.empty() ? append(text, "standard input")
                                 : appendEscaped(text, file, file.size(), false);
        end = append(append(append(end, ": "), what), why);
        complain({text, static_cast<std::size_t>(end - text)});
        status_ = kTrouble;
    };
    if (!input.error().empty()) return failed({}, input.error());
    LineReader reader(input, &Program::flushBeforeRead, this);
    Line line;
    while (reader.next(line)) {
        if (!handle(line.head, line.size, {"line", line.number, file})) return;
    }
    if (!reader.failure().empty()) failed("cannot be read: ", reader.failure());
}

bool Program::handle(std::string_view head, std::uint64_t size, const Origin& origin) noexcept {
    // The most one input's line takes: the input escaped, a tab, a result or problem, a line end.
    if (!room(kEscapedRoom + 80)) return false;
    char* const start = block_ + used_;
    char* out = tsv_ ? append(appendEscaped(start, head, size, false), "\t") : start;
    // The problem's words, which `problem` may point into past the branch that writes them.
    // cppcheck-suppress variableScope
    char words[64];
    std::string_view problem;
    if (encode_) {
        if (size > LineReader::kHeadSize) {
            problem = "too long for an address and port";
        } else if (const AddressReading reading = readAddress(head); reading.problem != AddressProblem::None) {
            problem = describe(reading, words);
        } else {
            out = writeHash(reading.address, out);
        }
    } else {
        Address address{};
        switch (decodeText(head, size, address)) {
            case HashVerdict::WrongLength: problem = "Please enter 12 digits"; break;
            case HashVerdict::NotHex: problem = "Please enter hex digits"; break;
            case HashVerdict::Address: out = writeAddress(address, out); break;
        }
    }
    if (!problem.empty()) {
        status_ = std::max<int>(status_, kSomeBad);
        if (!tsv_) return report(head, size, origin, problem);
        out = append(out, problem);  // in the result's place
    }
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
    if (takeOptions(arguments)) readAll(arguments);
    flush();
    return status_;
}

}  // namespace

int run(std::span<const Argument> arguments) noexcept {
    Program program;
    return program.run(arguments);
}

}  // namespace kavlo::cli
