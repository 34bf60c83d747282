// The command-line program on Windows: handles, UTF-16 arguments, and the console, which is given
// characters rather than bytes.
#include "system_io.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

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
    char digits[10];
    int count = 0;
    do digits[count++] = static_cast<char>('0' + code % 10); while ((code /= 10) != 0);
    char* end = std::copy_n("error ", 6, into);
    while (count > 0) *end++ = digits[--count];
    return static_cast<std::size_t>(end - into);
}

// UTF-16 to UTF-8, keeping an unpaired surrogate as its three-byte form, so that the text has as
// many UTF-16 units when it is counted again. Writes at most three bytes a unit.
char* toWtf8(const wchar_t* text, char* out) noexcept {
    for (; *text; ++text) {
        std::uint32_t code = static_cast<char16_t>(*text);
        if (code >= 0xD800 && code <= 0xDBFF && text[1] >= 0xDC00 && text[1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<char16_t>(*++text) - 0xDC00);
        }
        if (code < 0x80) {
            *out++ = static_cast<char>(code);
        } else if (code < 0x800) {
            *out++ = static_cast<char>(0xC0 | code >> 6);
            *out++ = static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            *out++ = static_cast<char>(0xE0 | code >> 12);
            *out++ = static_cast<char>(0x80 | (code >> 6 & 0x3F));
            *out++ = static_cast<char>(0x80 | (code & 0x3F));
        } else {
            *out++ = static_cast<char>(0xF0 | code >> 18);
            *out++ = static_cast<char>(0x80 | (code >> 12 & 0x3F));
            *out++ = static_cast<char>(0x80 | (code >> 6 & 0x3F));
            *out++ = static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

}  // namespace

Input::Input() noexcept : handle_(GetStdHandle(STD_INPUT_HANDLE)) {}

Input::Input(const Argument& file) noexcept {
    HANDLE opened = CreateFileW(static_cast<const wchar_t*>(file.native), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        keepError(GetLastError());
        return;
    }
    handle_ = opened;
    owned_ = true;
}

Input::~Input() {
    if (owned_) CloseHandle(handle_);
}

void Input::keepError(unsigned long code) noexcept { errorSize_ = keep(code, error_); }

long Input::read(char* buffer, std::size_t size) noexcept {
    if (!error().empty()) return -1;
    DWORD count = 0;
    if (!ReadFile(handle_, buffer, static_cast<DWORD>(std::min<std::size_t>(size, 1 << 30)), &count, nullptr)) {
        const DWORD code = GetLastError();
        if (code == ERROR_BROKEN_PIPE) return 0;  // the writer has finished
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
    // Each argument's UTF-8 in one block: at most three bytes a UTF-16 unit.
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
        char* end = kavlo::cli::toWtf8(argv[i + 1], text);
        arguments[i] = {{text, static_cast<std::size_t>(end - text)}, argv[i + 1]};
        text = end;
    }
    const int status = kavlo::cli::run({arguments, count});
    HeapFree(GetProcessHeap(), 0, arguments);
    return status;
}
