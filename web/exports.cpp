// The page's way into the program's own C++: the window's Calculate, the encoder and the hash
// finder, on texts the page puts into the module's memory, with the answers left there as text.
// UTF-16 in for Calculate, as the window holds its text; UTF-8 for the others, as the command line
// reads its input.
#include "calculate.h"
#include "encode.h"
#include "extract.h"
#include "hash_text.h"

#include <new>

// The linker's name for where the memory nothing else uses starts.
extern "C" unsigned char __heap_base;  // NOLINT(bugprone-reserved-identifier)

namespace {

char output[1 << 16];  // the answers, for the page to read
kavlo::IPParts ipPart{};  // the window's slots, which outlive a press
kavlo::TextSource* text = nullptr;
alignas(kavlo::HashFinder) unsigned char finderStorage[sizeof(kavlo::HashFinder)];
alignas(kavlo::TextSource) unsigned char textStorage[sizeof(kavlo::TextSource)];
kavlo::HashFinder* finder = nullptr;
kavlo::TextState state;  // the text's, as the finder reads it
std::size_t found = 0;

}  // namespace

extern "C" {

// A call to a pure virtual function, which nothing makes: a trap, where C++'s runtime would abort.
[[noreturn]] void __cxa_pure_virtual() { __builtin_trap(); }  // NOLINT(bugprone-reserved-identifier)

// How many characters the hash field takes, as the window's does.
__attribute__((export_name("hashLength"))) std::size_t hashLength() { return kavlo::kHashLength; }

// Where the page puts a text (memory it grows as a paste needs), and where the answers are.
__attribute__((export_name("input"))) unsigned char* input() { return &__heap_base; }
__attribute__((export_name("output"))) char* outputArea() { return output; }

// The Calculate button on `units` UTF-16 units at input(): the answer's units at output().
__attribute__((export_name("calculate"))) std::size_t calculate(std::size_t units) {
    const kavlo::OutputText answer =
        kavlo::calculate({reinterpret_cast<const char16_t*>(&__heap_base), units}, ipPart);
    std::copy(answer.view().begin(), answer.view().end(), reinterpret_cast<char16_t*>(output));
    return answer.view().size();
}

// The hash of the address and port in `bytes` of UTF-8 at input(), or what is wrong with it: its
// bytes at output().
__attribute__((export_name("encode"))) std::size_t encode(std::size_t bytes) {
    const kavlo::AddressReading reading = kavlo::readAddress({reinterpret_cast<const char*>(&__heap_base), bytes});
    if (reading.problem.what.empty()) return kavlo::writeHash(reading.address, output, std::end(output)) - output;
    char* end = std::copy(reading.problem.part.begin(), reading.problem.part.end(), output);
    return std::copy(reading.problem.what.begin(), reading.problem.what.end(), end) - output;
}

// Starts finding the hashes in `bytes` of UTF-8 at input().
__attribute__((export_name("findStart"))) void findStart(std::size_t bytes) {
    text = new (textStorage) kavlo::TextSource({reinterpret_cast<const char*>(&__heap_base), bytes});
    state = {};
    finder = new (finderStorage) kavlo::HashFinder(*text, [](void*) { return true; }, nullptr, false, state);
    found = 0;
}

// How many hashes have been found so far.
__attribute__((export_name("findCount"))) std::size_t findCount() { return found; }

// The next hashes found, a line each, "hash<TAB>address:port", at output(): how many bytes, 0 at
// the end.
__attribute__((export_name("findNext"))) std::size_t findNext() {
    std::size_t used = 0;
    kavlo::FoundHash hash{};
    while (sizeof output - used >= 64 && finder->next(hash)) {
        used = std::copy(hash.text.begin(), hash.text.end(), output + used) - output;
        output[used++] = '\t';
        used = kavlo::writeAddress(kavlo::decodeHexDigits(hash.text.data()), output + used, std::end(output)) - output;
        output[used++] = '\n';
        ++found;
    }
    return used;
}

}  // extern "C"
