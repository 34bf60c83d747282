// The command-line program on Windows: handles, UTF-16 arguments, and the console, which is given
// characters rather than bytes.
#include "system_io.h"
#include "text.h"

#include <windows.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <iterator>

namespace kavlo::cli {

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows text is UTF-16");

// The system's message for an error code, as UTF-8, without its line end and final full stop.
std::size_t keep(DWORD code, char (&into)[160]) noexcept {
    wchar_t text[160];
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        text, 160, nullptr);
    int size = length ? WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), into, sizeof into, nullptr, nullptr)
                      : 0;
    while (size > 0 && (into[size - 1] == '\r' || into[size - 1] == '\n' || into[size - 1] == ' ' || into[size - 1] == '.')) {
        --size;
    }
    if (size > 0) return static_cast<std::size_t>(size);
    // No text for it: the number.
    return static_cast<std::size_t>(std::to_chars(std::copy_n("error ", 6, into), std::end(into), std::uint64_t{code}).ptr - into);
}

}  // namespace

Input::Input() noexcept
    : handle_(GetStdHandle(STD_INPUT_HANDLE)), mayWait_(GetFileType(GetStdHandle(STD_INPUT_HANDLE)) != FILE_TYPE_DISK) {}

Input::Input(const Argument& file) noexcept {
    HANDLE opened = CreateFileW(file.native, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        keepError(GetLastError());
        return;
    }
    handle_ = opened;
    owned_ = true;
    mayWait_ = GetFileType(opened) != FILE_TYPE_DISK;
}

Input::~Input() {
    if (owned_) CloseHandle(handle_);
}

void Input::keepError(unsigned long code) noexcept { errorSize_ = keep(code, error_); }

long Input::read(char* buffer, std::size_t size) noexcept {
    if (!error().empty()) return -1;
    DWORD count = 0;
    while (!ReadFile(handle_, buffer, static_cast<DWORD>(std::min<std::size_t>(size, 1 << 30)), &count, nullptr)) {
        const DWORD code = GetLastError();
        if (code == ERROR_BROKEN_PIPE) return 0;  // the writer has finished
        // A pipe in non-blocking mode (PIPE_NOWAIT) with nothing in it yet: a pipe gives no signal
        // to wait for, so a moment is waited before it is asked again.
        if (code == ERROR_NO_DATA) {
            Sleep(1);
            continue;
        }
        keepError(code);
        return -1;
    }
    return static_cast<long>(count);
}

Output::Output(Stream stream) noexcept : handle_(GetStdHandle(stream == Stream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE)) {}

bool Output::write(std::string_view bytes) noexcept {
    DWORD mode = 0;
    const bool console = GetConsoleMode(handle_, &mode) != 0;
    while (!bytes.empty()) {
        BOOL written = FALSE;
        std::size_t taken = 0;
        if (console) {
            // A console shows characters, whatever its code page: the UTF-8 goes as UTF-16, a
            // whole sequence at a time.
            taken = std::min<std::size_t>(bytes.size(), 1024);
            while (taken < bytes.size() && (static_cast<unsigned char>(bytes[taken]) & 0xC0) == 0x80) --taken;
            if (taken == 0) taken = std::min<std::size_t>(bytes.size(), 4);
            wchar_t text[1024 + 4];
            const int units = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(taken), text, 1028);
            DWORD done = 0;
            written = WriteConsoleW(handle_, text, static_cast<DWORD>(units), &done, nullptr);
        } else {
            DWORD done = 0;
            written = WriteFile(handle_, bytes.data(), static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 30)),
                                &done, nullptr);
            taken = done;
            // A pipe in non-blocking mode that is full takes nothing: a moment is waited, as above.
            if (written && done == 0) Sleep(1);
        }
        if (!written) {
            const DWORD code = GetLastError();
            // The reader of a pipe has gone: Windows says "being closed", Wine "not connected".
            closed_ = code == ERROR_NO_DATA || code == ERROR_BROKEN_PIPE || code == ERROR_PIPE_NOT_CONNECTED;
            errorSize_ = keep(code, error_);
            return false;
        }
        bytes.remove_prefix(taken);
    }
    return true;
}

}  // namespace kavlo::cli

int wmain(int argc, wchar_t** argv) {
    // Each argument's UTF-8 in one block: at most three bytes a UTF-16 unit (utf8FromUtf16).
    std::size_t units = 0;
    for (int i = 1; i < argc; ++i) {
        for (const wchar_t* unit = argv[i]; *unit; ++unit) ++units;
    }
    const std::size_t count = argc > 1 ? static_cast<std::size_t>(argc - 1) : 0;
    auto* arguments = static_cast<kavlo::cli::Argument*>(
        HeapAlloc(GetProcessHeap(), 0, count * sizeof(kavlo::cli::Argument) + 3 * units + 1));
    if (!arguments) return 2;
    char* text = reinterpret_cast<char*>(arguments + count);
    for (std::size_t i = 0; i < count; ++i) {
        char* end = kavlo::cli::utf8FromUtf16(reinterpret_cast<const char16_t*>(argv[i + 1]), text);
        arguments[i] = {{text, static_cast<std::size_t>(end - text)}, argv[i + 1]};
        text = end;
    }
    const int status = kavlo::cli::run({arguments, count});
    HeapFree(GetProcessHeap(), 0, arguments);
    return status;
}
