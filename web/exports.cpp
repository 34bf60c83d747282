// The page's way into the program's own C++: the window's Calculate, the encoder and the hash
// finder, on texts the page puts into the module's memory, with the answers left there as text.
// UTF-16 in for Calculate, as the window holds its text; UTF-8 for the others, as the command line
// reads its input. Each action has areas of its own, so that nothing one does changes another's
// answer; Find takes its text in chunks, as the page reads a file, in memory that stays the same
// however long the text.
#include "calculate.h"
#include "encode.h"
#include "extract.h"
#include "hash_text.h"

#include <algorithm>
#include <new>

// The linker's name for where the memory nothing else uses starts.
extern "C" unsigned char __heap_base;  // NOLINT(bugprone-reserved-identifier)

namespace {

// Calculate's: the field's units (one more than it takes, which is enough to show a text too
// long), the window's slots, which outlive a press, and the answer.
char16_t hashField[kavlo::kHashLength + 1];
kavlo::IPParts ipPart{};
char16_t calculated[kavlo::OutputText::capacity];
// Encode's: the address is at the heap's start, which the page grows as it needs.
char encoded[128];

// Find's: the text, fed a chunk at a time, a source that has nothing yet between chunks.
class FedSource final : public kavlo::ByteSource {
public:
    explicit FedSource(bool file) noexcept : file_(file) {}
    void feed(std::string_view chunk, bool last) noexcept { chunk_ = kavlo::TextSource(chunk), last_ = last; }
    long read(char* buffer, std::size_t size) noexcept override {
        const long count = chunk_.read(buffer, size);
        return count == 0 && !last_ ? kNotYet : count;
    }
    [[nodiscard]] std::string_view error() const noexcept override { return {}; }
    // A file's bytes may start with a byte-order mark; a pasted text is text already.
    [[nodiscard]] bool mayHaveMark() const noexcept override { return file_; }

private:
    bool file_;
    kavlo::TextSource chunk_{{}};
    bool last_ = false;
};
char chunk[1 << 20];
char foundLines[1 << 16];
alignas(FedSource) unsigned char sourceStorage[sizeof(FedSource)];
alignas(kavlo::HashFinder) unsigned char finderStorage[sizeof(kavlo::HashFinder)];
FedSource* source = nullptr;
kavlo::HashFinder* finder = nullptr;
kavlo::TextState state;
std::size_t found = 0;

// The answer's length, negated where it is a message rather than a result.
int answer(std::size_t length, bool message) { return message ? -static_cast<int>(length) : static_cast<int>(length); }

}  // namespace

extern "C" {

// A call to a pure virtual function, which nothing makes: a trap, where C++'s runtime would abort.
[[noreturn]] void __cxa_pure_virtual() { __builtin_trap(); }  // NOLINT(bugprone-reserved-identifier)

// The Calculate button on `units` UTF-16 units, of which the page puts at most calculateRoom() at
// calculateInput(): the answer's units at calculateOutput(), negated for a message.
__attribute__((export_name("calculateInput"))) char16_t* calculateInput() { return hashField; }
__attribute__((export_name("calculateRoom"))) std::size_t calculateRoom() { return std::size(hashField); }
__attribute__((export_name("calculateOutput"))) char16_t* calculateOutput() { return calculated; }
__attribute__((export_name("calculate"))) int calculate(std::size_t units) {
    const std::u16string_view text{hashField, std::min(units, std::size(hashField))};
    const kavlo::OutputText result = kavlo::calculate(text, ipPart);
    std::copy(result.view().begin(), result.view().end(), calculated);
    const std::u16string_view said = result.view();
    const auto is = [said](std::string_view message) { return std::equal(said.begin(), said.end(), message.begin(), message.end()); };
    return answer(said.size(), is(kavlo::kWrongLengthMessage) || is(kavlo::kNotHexMessage));
}

// The hash of the address and port in `bytes` of UTF-8 at encodeInput(), or what is wrong with
// it: its bytes at encodeOutput(), negated for a message.
__attribute__((export_name("encodeInput"))) unsigned char* encodeInput() { return &__heap_base; }
__attribute__((export_name("encodeOutput"))) char* encodeOutput() { return encoded; }
__attribute__((export_name("encode"))) int encode(std::size_t bytes) {
    const kavlo::AddressReading reading = kavlo::readAddress({reinterpret_cast<const char*>(&__heap_base), bytes});
    if (reading.problem.what.empty()) return answer(kavlo::writeHash(reading.address, encoded, std::end(encoded)) - encoded, false);
    char* end = std::copy(reading.problem.part.begin(), reading.problem.part.end(), encoded);
    return answer(std::copy(reading.problem.what.begin(), reading.problem.what.end(), end) - encoded, true);
}

// Starts finding hashes in a text, pasted or a `file`'s (which may be UTF-16, with its mark).
__attribute__((export_name("findStart"))) void findStart(bool file) {
    if (finder) finder->~HashFinder();
    source = new (sourceStorage) FedSource(file);
    state = {};
    finder = new (finderStorage) kavlo::HashFinder(*source, [](void*) { return true; }, nullptr, false, state);
    found = 0;
}

// Feeds the finder the next `bytes` of the text, which the page puts at findInput() (findRoom()
// at the most), the `last` where the text ends there.
__attribute__((export_name("findInput"))) char* findInput() { return chunk; }
__attribute__((export_name("findRoom"))) std::size_t findRoom() { return sizeof chunk; }
__attribute__((export_name("findFeed"))) void findFeed(std::size_t bytes, bool last) {
    source->feed({findInput(), std::min(bytes, sizeof chunk)}, last);
}

// The next hashes found in what was fed, a line each, "hash<TAB>address:port", at findOutput():
// how many bytes; 0 once the chunk is used up, or at the text's end.
__attribute__((export_name("findOutput"))) char* findOutput() { return foundLines; }
__attribute__((export_name("findNext"))) std::size_t findNext() {
    std::size_t used = 0;
    kavlo::FoundHash hash{};
    while (sizeof foundLines - used >= 64 && finder->next(hash)) {
        used = std::copy(hash.text.begin(), hash.text.end(), foundLines + used) - foundLines;
        foundLines[used++] = '\t';
        used = kavlo::writeAddress(kavlo::decodeHexDigits(hash.text.data()), foundLines + used, std::end(foundLines)) - foundLines;
        foundLines[used++] = '\n';
        ++found;
    }
    return used;
}

// How many hashes have been found so far.
__attribute__((export_name("findCount"))) std::size_t findCount() { return found; }

// At the end, what is wrong with the text as a whole (half a UTF-16 character at its end), at
// findOutput(): how many bytes, 0 for nothing.
__attribute__((export_name("findFlaw"))) std::size_t findFlaw() {
    const std::string_view flaw = finder->flaw();
    return std::copy_n(flaw.begin(), std::min(flaw.size(), sizeof foundLines), foundLines) - foundLines;
}

}  // extern "C"
