// The command-line program on Linux, macOS and the like: file descriptors, and UTF-8 arguments.
#include "system_io.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kavlo::cli {

namespace {

int descriptor(void* handle) noexcept { return static_cast<int>(reinterpret_cast<std::intptr_t>(handle)); }
void* handleOf(int descriptor) noexcept { return reinterpret_cast<void*>(static_cast<std::intptr_t>(descriptor)); }

// Whether a call that failed with errno should be made again: interrupted, or on a descriptor in
// non-blocking mode (which a parent may hand its children) that had to wait, once it can go on.
bool again(int fd, short event) noexcept {
    if (errno == EINTR) return true;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
    pollfd wanted{fd, event, 0};
    ::poll(&wanted, 1, -1);  // if it is interrupted, the next try waits again
    return true;
}

// Whether reading the descriptor may wait: anything but a regular file.
bool waits(int fd) noexcept {
    struct stat status {};
    return ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode);
}

}  // namespace

Input::Input() noexcept : handle_(handleOf(STDIN_FILENO)), mayWait_(waits(STDIN_FILENO)) {}

Input::Input(const Argument& file) noexcept {
    const int opened = ::open(file.native, O_RDONLY | O_CLOEXEC);
    if (opened < 0) error_.describe(static_cast<unsigned long>(errno));
    handle_ = handleOf(opened);
    owned_ = opened >= 0;
    mayWait_ = opened < 0 || waits(opened);
}

Input::~Input() {
    if (owned_) ::close(descriptor(handle_));
}

void SystemMessage::describe(unsigned long code) noexcept {
    const char* words = std::strerror(static_cast<int>(code));
    set(words, std::strlen(words), false);
}

std::size_t mostUtf8Bytes(const char* argument) noexcept { return std::strlen(argument); }
char* toUtf8(const char* argument, char* out) noexcept { return std::copy_n(argument, std::strlen(argument), out); }

long Input::read(char* buffer, std::size_t size) noexcept {
    if (!error().empty()) return -1;
    ssize_t count = 0;
    do {
        count = ::read(descriptor(handle_), buffer, size);
    } while (count < 0 && again(descriptor(handle_), POLLIN));
    if (count < 0) error_.describe(static_cast<unsigned long>(errno));
    return static_cast<long>(count);
}

Output::Output(Stream stream) noexcept : handle_(handleOf(stream == Stream::Out ? STDOUT_FILENO : STDERR_FILENO)) {}

bool Output::sameDestination(const Output& other) const noexcept {
    struct stat mine {};
    struct stat theirs {};
    if (::fstat(descriptor(handle_), &mine) != 0 || ::fstat(descriptor(other.handle_), &theirs) != 0) return true;
    return mine.st_dev == theirs.st_dev && mine.st_ino == theirs.st_ino;
}

bool Output::write(std::string_view bytes) noexcept {
    while (!bytes.empty()) {
        const ssize_t count = ::write(descriptor(handle_), bytes.data(), bytes.size());
        if (count < 0) {
            if (again(descriptor(handle_), POLLOUT)) continue;
            closed_ = errno == EPIPE;
            error_.describe(static_cast<unsigned long>(errno));
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
    return true;
}

}  // namespace kavlo::cli

int main(int argc, char** argv) {
    // A reader that goes away shows as EPIPE from write, which ends the program quietly, rather than
    // as a signal that kills it.
    std::signal(SIGPIPE, SIG_IGN);
    return kavlo::cli::run({argv + 1, static_cast<std::size_t>(argc > 0 ? argc - 1 : 0)});
}
