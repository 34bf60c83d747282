// The command-line program on Windows: handles, UTF-16 arguments, and the console, which is given
// characters rather than bytes.
#include "system_io.h"
#include "text.h"

#include <windows.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <iterator>

namespace kavlo::cli {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows text is UTF-16");

// The system's words, made UTF-8 in a block of their own size; the number where it has none.
void SystemMessage::describe(unsigned long code) noexcept {
    wchar_t* words = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                            FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code, 0,
                                        reinterpret_cast<wchar_t*>(&words), 0, nullptr);
    const int size = length ? WideCharToMultiByte(CP_UTF8, 0, words, static_cast<int>(length), nullptr, 0, nullptr, nullptr) : 0;
    char* utf8 = size > 0 ? static_cast<char*>(std::malloc(static_cast<std::size_t>(size))) : nullptr;
    int made = utf8 ? WideCharToMultiByte(CP_UTF8, 0, words, static_cast<int>(length), utf8, size, nullptr, nullptr) : 0;
    LocalFree(words);
    while (made > 0 && (utf8[made - 1] == '\r' || utf8[made - 1] == '\n' || utf8[made - 1] == ' ' || utf8[made - 1] == '.')) --made;
    if (made > 0) return set(utf8, static_cast<std::size_t>(made), true);
    std::free(utf8);
    number(code);
}

std::size_t mostUtf8Bytes(const wchar_t* argument) noexcept {
    std::size_t units = 0;
    while (argument[units] != 0) ++units;
    return 3 * units;
}
char* toUtf8(const wchar_t* argument, char* out) noexcept {
    return utf8FromUtf16(reinterpret_cast<const char16_t*>(argument), out);
}

Input::Input() noexcept
    : handle_(GetStdHandle(STD_INPUT_HANDLE)), mayWait_(GetFileType(GetStdHandle(STD_INPUT_HANDLE)) != FILE_TYPE_DISK) {}

Input::Input(const Argument& file) noexcept {
    HANDLE opened = CreateFileW(file.native, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        error_.describe(GetLastError());
        return;
    }
    handle_ = opened;
    owned_ = true;
    mayWait_ = GetFileType(opened) != FILE_TYPE_DISK;
}

Input::~Input() {
    if (owned_) CloseHandle(handle_);
}

long Input::read(char* buffer, std::size_t size) noexcept {
    if (!error().empty()) return -1;
    DWORD count = 0;
    if (GetConsoleMode(handle_, &count)) {
        // A console gives characters, not bytes: its UTF-16 is made UTF-8, as the arguments are, so
        // that a character typed or pasted is one unit whatever the code page. Ctrl+Z at a line's
        // start ends the input, as for a program that reads the console as a file. A lead
        // surrogate at a read's end waits for its trail.
        static char16_t lead = 0;  // one console, one wait
        wchar_t units[1024];
        const auto most = static_cast<DWORD>(std::min<std::size_t>(size / 3, std::size(units)));  // 3 bytes a unit
        while (true) {
            if (!ReadConsoleW(handle_, units, most, &count, nullptr)) {
                error_.describe(GetLastError());
                return -1;
            }
            if (count == 0 || units[0] == 0x1A) return 0;
            const char* end = utf8FromUtf16Bytes(reinterpret_cast<const char*>(units), count, false, lead, buffer);
            if (end != buffer) return end - buffer;
        }
    }
    while (!ReadFile(handle_, buffer, static_cast<DWORD>(std::min<std::size_t>(size, 1 << 30)), &count, nullptr)) {
        const DWORD code = GetLastError();
        if (code == ERROR_BROKEN_PIPE) return 0;  // the writer has finished
        // A pipe in non-blocking mode (PIPE_NOWAIT) with nothing in it yet: a pipe gives no signal
        // to wait for, so a moment is waited before it is asked again.
        if (code == ERROR_NO_DATA) {
            Sleep(1);
            continue;
        }
        error_.describe(code);
        return -1;
    }
    return static_cast<long>(count);
}

Output::Output(Stream stream) noexcept : handle_(GetStdHandle(stream == Stream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE)) {}

bool Output::sameDestination(const Output& other) const noexcept {
    // Two files are one where their volume and index are; anything else (a console, a pipe) is
    // taken as one place, as it may well be.
    BY_HANDLE_FILE_INFORMATION mine{};
    BY_HANDLE_FILE_INFORMATION theirs{};
    if (!GetFileInformationByHandle(handle_, &mine) || !GetFileInformationByHandle(other.handle_, &theirs)) return true;
    return mine.dwVolumeSerialNumber == theirs.dwVolumeSerialNumber && mine.nFileIndexHigh == theirs.nFileIndexHigh &&
           mine.nFileIndexLow == theirs.nFileIndexLow;
}

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
            error_.describe(code);
            return false;
        }
        bytes.remove_prefix(taken);
    }
    return true;
}

}  // namespace kavlo::cli

int wmain(int argc, wchar_t** argv) {
    return kavlo::cli::run({argv + 1, static_cast<std::size_t>(argc > 0 ? argc - 1 : 0)});
}
