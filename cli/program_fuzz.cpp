// Fuzzes the whole command-line program: its own run() on arguments, standard input and files made
// from the fuzz input, in a system held in memory that hands out reads in pieces, fails a file part
// way and loses an output's reader (or its disk) part way. For every input: no crash (the
// sanitizers watch), an exit status of 0, 1 or 2, whole lines, each write ending at a line's end,
// nothing on standard error that a terminal acts on, every file closed, and nothing read or written
// once an output's reader has gone. Then the same inputs in each mode's three formats, which must
// agree: the same results and errors in the same order, each address encoding back to its hash and
// each hash decoding back to its address, the exit status that the errors call for, and with
// --extract the hashes that the rule written as regular expressions finds.
#include "encode.h"
#include "extract_reference.h"
#include "hash_text.h"
#include "system_io.h"
#include "writer.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The system the program runs in, held in memory: standard input, files and the two outputs are
// strings, and any of them can be made to fail part way.
namespace kavlo::cli {
namespace {

constexpr std::size_t kNever = static_cast<std::size_t>(-1);

void check(bool holds, const char* property) {
    if (holds) return;
    std::fprintf(stderr, "does not hold: %s\n", property);
    std::abort();
}

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
    std::size_t lineCut = kNever;  // where a write ended inside the line being written
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
    bool together = false;  // the outputs go to one place, as with 2>&1
} world;

enum Code : unsigned long { kNoSuchFile, kInputOutput, kBrokenPipe, kNoSpace };

bool readerHasGone() noexcept {
    return (world.out.failed && world.out.readerGoes) || (world.err.failed && world.err.readerGoes);
}

}  // namespace

void SystemMessage::describe(unsigned long code) noexcept {
    constexpr std::string_view kMessages[] = {"No such file or directory", "Input/output error", "Broken pipe",
                                              "No space left on device"};
    set(kMessages[code].data(), kMessages[code].size(), false);
}

std::size_t mostUtf8Bytes(const char* argument) noexcept { return std::strlen(argument); }
char* toUtf8(const char* argument, char* out) noexcept { return std::copy_n(argument, std::strlen(argument), out); }

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
    error_.describe(kNoSuchFile);
}

Input::~Input() {
    if (owned_) --world.filesOpen;
}


long Input::read(char* buffer, std::size_t size) noexcept {
    if (!error().empty()) return -1;
    world.readsAfterReaderWent += readerHasGone();
    auto& file = *static_cast<File*>(handle_);
    if (file.read >= file.failAfter) {
        error_.describe(kInputOutput);
        return -1;
    }
    const std::size_t count = std::min({size, world.piece, file.text.size() - file.read, file.failAfter - file.read});
    std::copy_n(file.text.data() + file.read, count, buffer);
    file.read += count;
    return static_cast<long>(count);
}

Output::Output(Stream stream) noexcept : handle_(stream == Stream::Out ? &world.out : &world.err) {}

bool Output::sameDestination(const Output&) const noexcept { return world.together; }

bool Output::write(std::string_view bytes) noexcept {
    auto& stream = *static_cast<Sink*>(handle_);
    world.writesAfterReaderWent += readerHasGone();
    // A write may end inside a line only where the line is about as long as the writer's block.
    const std::size_t lineStart = stream.written.rfind('\n') + 1;
    if (stream.lineCut != kNever && bytes.find('\n') != std::string_view::npos) {
        check(stream.written.size() - lineStart + bytes.find('\n') + 64 >= Writer::kBlockSize, "writes end at a line's end");
        stream.lineCut = kNever;
    }
    if (!bytes.empty() && bytes.back() != '\n') stream.lineCut = stream.written.size() + bytes.size();
    const std::size_t count = std::min(stream.limit - std::min(stream.limit, stream.written.size()), bytes.size());
    stream.written.append(bytes.data(), count);
    if (count == bytes.size()) return true;
    stream.failed = true;
    closed_ = stream.readerGoes;
    error_.describe(closed_ ? kBrokenPipe : kNoSpace);
    return false;
}

}  // namespace kavlo::cli

namespace {

using kavlo::cli::check;
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

// Whether a terminal shows `text` as it is: UTF-8 (the JSON writer refuses any other), with no
// control character but the line end, no C1 control, and none that reorders text.
bool showable(const std::string& text) {
    static const std::regex acts("[\\x00-\\x09\\x0B-\\x1F\\x7F]|\\xC2[\\x80-\\x9F]|\\xE2\\x80[\\xAA-\\xAE]|\\xE2\\x81[\\xA6-\\xA9]");
    try {
        return !nlohmann::json(text).dump().empty() && !std::regex_search(text, acts);
    } catch (const nlohmann::json::type_error&) {
        return false;
    }
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) lines.push_back(text.substr(at, end - at));
    return lines;
}

// The texts as the system gives arguments: each up to its first 0.
std::vector<const char*> arguments(const std::vector<std::string>& texts) {
    std::vector<const char*> native;
    native.reserve(texts.size());
    for (const std::string& text : texts) native.push_back(text.c_str());
    return native;
}

// The program's outputs and status on `texts`, in the system as it was at the start, its outputs never failing.
struct Run {
    std::string out, err;
    int status;
};
Run runIn(const kavlo::cli::System& start, const std::vector<std::string>& texts) {
    world = start;
    world.out.limit = world.err.limit = kavlo::cli::kNever;
    const int status = kavlo::cli::run(arguments(texts));
    check(showable(world.err.written), "nothing on standard error that a terminal acts on");
    return {world.out.written, world.err.written, status};
}

// A --json line: its input, and its result or what is wrong with it, and where it was ("argument
// 3", "a: line 2", "line 7": arguments numbered as without the format's option). Each address and
// port encodes back to its input's hash, and each --encode hash decodes back to its address.
struct Answer {
    std::string input, result, origin;
    bool cut, wrong;
};
Answer answerOf(const std::string& line) {
    static const std::set<std::string> kMembers = {"input", "input_bytes", "address", "port", "hash", "error",
                                                   "argument", "file", "line"};
    const nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
    check(object.is_object() && object.count("input") == 1, "each line is one JSON object, with its input");
    for (const auto& [key, value] : object.items()) check(kMembers.count(key) == 1, "each member is a documented one");
    check(object.count("error") + object.count("hash") + object.count("address") == 1, "one result");
    check(object.count("address") == object.count("port") && object.count("argument") + object.count("line") == 1,
          "an address with its port, and one origin");
    const bool hasFile = object.contains("file");
    Answer answer{object["input"], object.value("error", object.value("hash", "")),
                  object.contains("argument") ? "argument " + std::to_string(object["argument"].get<int>() - 1)
                                              : (hasFile ? object["file"].get<std::string>() + ": " : "") + "line " + object["line"].dump(),
                  object.contains("input_bytes"), object.contains("error")};
    char text[std::max(kavlo::kHashLength, kavlo::kLongestAddressText)];
    kavlo::Address address{};
    if (object.contains("address")) {
        answer.result = object["address"].get<std::string>() + ":" + object["port"].dump();
        std::string input = answer.input;
        for (char& c : input) c = static_cast<char>(std::toupper(c));
        check(std::string_view(text, kavlo::writeHash(kavlo::readAddress(answer.result).address, text, std::end(text))) == input,
              "each address encodes back to its hash");
    }
    check(!object.contains("hash") || (kavlo::decodeHash(std::string_view(answer.result), address) == kavlo::HashVerdict::Address &&
                                       std::string_view(text, kavlo::writeAddress(address, text, std::end(text))) == answer.input),
          "each hash decodes back to its address");
    return answer;
}
// The runs in the three formats agree: the same answers in the same order, standard error's lines
// rebuilt from --tsv's and --json's, and the exit status that the errors call for.
std::vector<Answer> checkFormats(const Run& plain, const Run& tsv, const Run& json, bool extract) {
    std::vector<Answer> answers;
    for (const std::string& line : linesOf(json.out)) answers.push_back(answerOf(line));
    const std::vector<std::string> rows = linesOf(tsv.out);
    const std::vector<std::string> trouble = linesOf(tsv.err);  // in every format
    check(rows.size() == answers.size() && tsv.err == json.err, "--tsv and --json answer alike");
    std::vector<std::string> results;
    std::vector<std::string> errors;
    for (std::size_t i = 0; i < answers.size(); ++i) {
        const Answer& answer = answers[i];
        const std::string tail = (answer.cut ? "...\t" : "\t") + answer.result;
        check(rows[i].ends_with(tail), "--tsv gives --json's result");
        std::string quoted;  // the input as --tsv shows it, its double quotes escaped
        for (const char c : rows[i].substr(0, rows[i].size() - tail.size())) quoted += c == '"' ? "\\\"" : std::string(1, c);
        if (!answer.wrong) results.push_back(answer.result);
        if (answer.wrong) errors.push_back("kavlo-ipfinder: " + answer.origin + ": \"" + quoted + (answer.cut ? "\"...: " : "\": ") + answer.result);
    }
    check(linesOf(plain.out) == results, "plain output gives --json's results");
    std::size_t error = 0;
    std::size_t other = 0;
    for (const std::string& line : linesOf(plain.err)) {
        const bool isError = error < errors.size() && line == errors[error];
        check(isError || (other < trouble.size() && line == trouble[other]), "plain messages are --json's errors");
        ++(isError ? error : other);
    }
    const int status = !trouble.empty() ? 2 : !errors.empty() || (extract && answers.empty()) ? 1 : 0;
    check(error == errors.size() && other == trouble.size() && plain.status == status && tsv.status == status &&
              json.status == status, "every message, and the exit status the errors call for");
    return answers;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::vector<std::string> texts;
    for (int count = in.ConsumeIntegralInRange(0, 6); count > 0; --count) {
        texts.push_back(in.ConsumeBool() ? kWords[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kWords) - 1)]
                                         : repeated(in));
        texts.back().resize(std::strlen(texts.back().c_str()));  // an argument ends at its first 0
    }
    world = {};
    world.files = {{"a", repeated(in)}, {"b", repeated(in), sizeFrom(in)}};
    world.piece = std::max<std::size_t>(1, sizeFrom(in));
    world.together = in.ConsumeBool();
    for (kavlo::cli::Sink* stream : {&world.out, &world.err}) {
        stream->limit = sizeFrom(in);
        stream->readerGoes = in.ConsumeBool();
    }
    // For the runs in each format: a mode, and the files and standard input read before the texts.
    const int mode = in.ConsumeIntegralInRange(0, 2);
    std::vector<std::string> named;
    for (int count = in.ConsumeIntegralInRange(0, 3); count > 0; --count) {
        const char* const kNames[] = {"-", "a", "b"};
        const std::string name = kNames[in.ConsumeIntegralInRange(0, 2)];
        if (name != "-" || std::find(named.begin(), named.end(), name) == named.end()) named.push_back(name);
    }
    if (named.empty() && texts.empty()) named.emplace_back("-");  // which is read when nothing is named
    world.standardInput.text = in.ConsumeRemainingBytesAsString();
    const kavlo::cli::System start = world;

    const int status = kavlo::cli::run(arguments(texts));
    check(status >= 0 && status <= 2, "a documented exit status");
    check(world.readsAfterReaderWent == 0 && world.writesAfterReaderWent == 0, "nothing done once a reader has gone");
    check(world.filesOpen == 0, "every file opened is closed");
    for (const kavlo::cli::Sink* stream : {&world.out, &world.err}) {
        check(stream->failed || stream->written.empty() || stream->written.back() == '\n', "whole lines");
    }
    check(showable(world.err.written), "nothing on standard error that a terminal acts on");

    std::vector<std::string> options;
    if (mode > 0) options.emplace_back(mode == 1 ? "--encode" : "--extract");
    for (const std::string& name : named) options.push_back(name == "-" ? name : "--file=" + name);
    options.push_back("--");
    const std::size_t first = options.size() + 1;  // the first text's argument
    options.insert(options.end(), texts.begin(), texts.end());
    const Run plain = runIn(start, options);
    options.insert(options.begin(), "--tsv");
    const Run tsv = runIn(start, options);
    options.front() = "--json";
    const Run json = runIn(start, options);
    const std::vector<Answer> answers = checkFormats(plain, tsv, json, mode == 2);
    // The same sources in UTF-16, little- and big-endian, where they are ASCII: the same output in a
    // format as in UTF-8 (each file read whole, for the failure's place differs).
    kavlo::cli::System whole = start;
    whole.files[1].failAfter = kavlo::cli::kNever;
    const auto ascii = [](const kavlo::cli::File& file) {
        return std::all_of(file.text.begin(), file.text.end(), [](char c) { return c > 0; });
    };
    if (ascii(whole.standardInput) && std::all_of(whole.files.begin(), whole.files.end(), ascii)) {
        options.erase(options.begin(), options.begin() + static_cast<long>(start.standardInput.text.size() % 3 == 0));
        if (start.standardInput.text.size() % 3 == 1) options.front() = "--tsv";
        const Run utf8 = runIn(whole, options);
        for (const bool big : {false, true}) {
            kavlo::cli::System utf16 = whole;
            for (kavlo::cli::File* file : {&utf16.standardInput, &utf16.files[0], &utf16.files[1]}) {
                std::string units = big ? "\xFE\xFF" : "\xFF\xFE";
                for (const char c : file->text) units += big ? std::string{'\0', c} : std::string{c, '\0'};
                file->text = units;
            }
            const Run run = runIn(utf16, options);
            check(run.out == utf8.out && run.err == utf8.err && run.status == utf8.status, "UTF-16 is read as the same text in UTF-8");
        }
    }
    if (mode != 2) return 0;
    // --extract finds what the rule finds, source by source.
    std::vector<std::pair<std::string, std::string>> expected;
    std::vector<std::pair<std::string, std::string>> found;
    const auto find = [&expected](const std::string& text, const std::string& origin, bool byLine) {
        for (const auto& [hash, line] : kavlo::referenceHashes(byLine ? kavlo::asRead(text) : text)) {
            expected.emplace_back(hash, byLine ? origin + "line " + std::to_string(line) : origin);
        }
    };
    for (const std::string& name : named) {
        const kavlo::cli::File& file = name == "-" ? start.standardInput : start.files[name == "b"];
        find(file.text.substr(0, file.failAfter), name == "-" ? "" : name + ": ", true);
    }
    for (std::size_t i = 0; i < texts.size(); ++i) find(texts[i], "argument " + std::to_string(first + i), false);
    found.reserve(answers.size());
    for (const Answer& answer : answers) found.emplace_back(answer.input, answer.origin);
    check(found == expected, "--extract finds what the rule finds");
    return 0;
}
