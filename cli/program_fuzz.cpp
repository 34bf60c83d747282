// Fuzzes the whole command-line program: its own run() on arguments, standard input and files made
// from the fuzz input, in a system held in memory that hands out reads in pieces, fails a file part
// way and loses an output's reader (or its disk) part way. For every input: no crash (the
// sanitizers watch), an exit status of 0, 1 or 2, every --json line one JSON object of the
// documented members, inputs answered in the order given, whole lines, every file closed, and
// nothing read or written once an output's reader has gone.
#include "system_io.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// The system the program runs in, held in memory: standard input, files and the two outputs are
// strings, and any of them can be made to fail part way.
namespace kavlo::cli {
namespace {

constexpr std::size_t kNever = static_cast<std::size_t>(-1);

struct File {
    std::string name;
    std::string text;
    std::size_t failAfter = kNever;  // reading fails ("Input/output error") once this much is read
    std::size_t read = 0;            // since it was opened
};
struct Sink {
    std::string written;
    std::size_t limit = kNever;  // writing fails past this many bytes: the reader goes, or the disk is full
    bool readerGoes = true;
    bool failed = false;
};
struct System {
    File standardInput;
    std::vector<File> files;
    std::size_t piece = 1 << 16;  // the most a read hands out
    Sink out;
    Sink err;
    // What the program did after a write had found its reader gone, when it should have stopped.
    std::size_t readsAfterReaderWent = 0;
    std::size_t writesAfterReaderWent = 0;
    std::size_t filesOpen = 0;
} world;

enum Code : unsigned long { kNoSuchFile, kInputOutput, kBrokenPipe, kNoSpace };
std::size_t keep(unsigned long code, char (&into)[160]) noexcept {
    constexpr std::string_view kMessages[] = {"No such file or directory", "Input/output error", "Broken pipe",
                                              "No space left on device"};
    std::copy(kMessages[code].begin(), kMessages[code].end(), into);
    return kMessages[code].size();
}

bool readerHasGone() noexcept {
    return (world.out.failed && world.out.readerGoes) || (world.err.failed && world.err.readerGoes);
}

}  // namespace

Input::Input() noexcept : handle_(&world.standardInput) {}

Input::Input(const Argument& file) noexcept {
    for (File& candidate : world.files) {
        if (candidate.name == file.text) {
            candidate.read = 0;
            handle_ = &candidate;
            owned_ = true;
            mayWait_ = false;  // standard input may wait, as a pipe does; files give what they hold
            ++world.filesOpen;
            return;
        }
    }
    keepError(kNoSuchFile);
}

Input::~Input() {
    if (owned_) --world.filesOpen;
}

void Input::keepError(unsigned long code) noexcept { errorSize_ = keep(code, error_); }

long Input::read(char* buffer, std::size_t size) noexcept {
    if (!error().empty()) return -1;
    world.readsAfterReaderWent += readerHasGone();
    auto& file = *static_cast<File*>(handle_);
    if (file.read >= file.failAfter) {
        keepError(kInputOutput);
        return -1;
    }
    const std::size_t count = std::min({size, world.piece, file.text.size() - file.read, file.failAfter - file.read});
    std::copy_n(file.text.data() + file.read, count, buffer);
    file.read += count;
    return static_cast<long>(count);
}

Output::Output(Stream stream) noexcept : handle_(stream == Stream::Out ? &world.out : &world.err) {}

bool Output::write(std::string_view bytes) noexcept {
    auto& stream = *static_cast<Sink*>(handle_);
    world.writesAfterReaderWent += readerHasGone();
    const std::size_t count = std::min(stream.limit - std::min(stream.limit, stream.written.size()), bytes.size());
    stream.written.append(bytes.data(), count);
    if (count == bytes.size()) return true;
    stream.failed = true;
    closed_ = stream.readerGoes;
    errorSize_ = keep(closed_ ? kBrokenPipe : kNoSpace, error_);
    return false;
}

}  // namespace kavlo::cli

namespace {

using kavlo::cli::world;

// Words the program knows, so that the fuzzer need not find them a byte at a time.
const char* const kWords[] = {"--json", "--tsv", "-x", "--extract", "-e", "--encode", "-f", "--file", "a", "b", "-",
                              "--", "--file=a", "-fb", "-xfa", "--help", "--version", "0100A8C01F90",
                              "192.168.0.1:8080", "{4167239C-7281-5977-8133-90D68B94A1A1}"};

// Sizes for reads, failures and outputs: none, small ones, and those around the program's blocks.
std::size_t sizeFrom(FuzzedDataProvider& in) {
    constexpr std::size_t kSizes[] = {kavlo::cli::kNever, 0, 1, 2, 13, 100, 4096, 65535, 65536, 65537, 1 << 17};
    return kSizes[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kSizes) - 1)];
}

// A short piece of the fuzz input, repeated: long texts cost the fuzzer a few bytes.
std::string repeated(FuzzedDataProvider& in) {
    const std::string piece = in.ConsumeRandomLengthString(16);
    std::string text;
    for (std::size_t times = in.ConsumeIntegralInRange<std::size_t>(1, 4096); times > 0; --times) text += piece;
    return text;
}

void check(bool holds, const char* property) {
    if (holds) return;
    std::fprintf(stderr, "does not hold: %s\n", property);
    std::abort();
}

// Checks each --json line, and that the inputs are answered in the order given: argument numbers
// never go down, nor line numbers within one source, except where a source is named twice.
void checkJson(const std::string& out, const std::vector<std::string>& texts) {
    static const std::set<std::string> kMembers = {"input", "input_bytes", "address", "port", "hash", "error",
                                                   "argument", "file", "line"};
    std::uint64_t lastArgument = 0;
    std::string lastSource;
    std::uint64_t lastLine = 0;
    for (std::size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1) {
        const nlohmann::json object = nlohmann::json::parse(std::string_view(out).substr(at, end - at), nullptr, false);
        check(object.is_object(), "each line is one JSON object");
        for (const auto& [key, value] : object.items()) check(kMembers.count(key) == 1, "each member is a documented one");
        check(object.contains("input"), "it shows the input");
        check(object.count("error") + object.count("hash") + object.count("address") == 1, "one result");
        check(object.count("address") == object.count("port"), "an address with its port");
        check(object.count("argument") + object.count("line") == 1, "one origin");
        if (object.contains("argument")) {
            const auto argument = object["argument"].get<std::uint64_t>();
            check(argument >= lastArgument && argument >= 1 && argument <= texts.size(), "arguments in order");
            lastArgument = argument;
            continue;
        }
        const std::string source = object.value("file", "-");
        const auto line = object["line"].get<std::uint64_t>();
        const auto naming = std::count_if(texts.begin(), texts.end(), [&](const std::string& text) {
            return source != "-" && text.ends_with(source);  // "a", "--file=a", "-fa"
        });
        check(line >= 1 && (source != lastSource || line >= lastLine || naming > 1), "lines in order");
        lastSource = source;
        lastLine = line;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::vector<std::string> texts;
    for (int count = in.ConsumeIntegralInRange(0, 6); count > 0; --count) {
        texts.push_back(in.ConsumeBool() ? kWords[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kWords) - 1)]
                                         : repeated(in));
    }
    world = {};
    world.files = {{"a", repeated(in)}, {"b", repeated(in), sizeFrom(in)}};
    world.piece = std::max<std::size_t>(1, sizeFrom(in));
    for (kavlo::cli::Sink* stream : {&world.out, &world.err}) {
        stream->limit = sizeFrom(in);
        stream->readerGoes = in.ConsumeBool();
    }
    world.standardInput.text = in.ConsumeRemainingBytesAsString();

    std::vector<kavlo::cli::Argument> arguments;
    arguments.reserve(texts.size());
    for (const std::string& text : texts) arguments.push_back({text, text.c_str()});
    const int status = kavlo::cli::run(arguments);

    check(status >= 0 && status <= 2, "a documented exit status");
    check(world.readsAfterReaderWent == 0 && world.writesAfterReaderWent == 0, "nothing done once a reader has gone");
    check(world.filesOpen == 0, "every file opened is closed");
    for (const kavlo::cli::Sink* stream : {&world.out, &world.err}) {
        check(stream->failed || stream->written.empty() || stream->written.back() == '\n', "whole lines");
    }
    // Which format the arguments ask for, as far as a glance can tell: --json, without a request
    // for help or the version that would print text instead.
    bool json = false;
    for (std::size_t i = 0; i < texts.size() && texts[i] != "--"; ++i) {
        const std::string& text = texts[i];
        if (text.rfind("-h", 0) == 0 || text.rfind("--h", 0) == 0 || text.rfind("--v", 0) == 0) {
            json = false;
            break;
        }
        json = json || text == "--json";
        i += text == "-f" || text == "--file";
    }
    if (json) checkJson(world.out.written, texts);
    return 0;
}
