// The run command's walk through the program where there is no screen to show it on: starts it,
// types the example hash, presses Enter and prints the result; then prints where the window is,
// waits for the run script to photograph the display (it creates the file named on the command
// line when done), and closes the program with Alt+F4.
#include "window_driver.h"

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    using namespace driver;
    if (argc != 2) {
        std::fputs("usage: walkthrough DONE-FILE\n", stderr);
        return 2;
    }
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    Program program(programPath());
    if (!program.ready() || !program.activate()) {
        std::fputs("The window did not come up.\n", stderr);
        return 1;
    }
    type(L"0100A8C01F90");
    waitUntil([&] { return text(program[Program::txtHash]) == L"0100A8C01F90"; });
    press(VK_RETURN);
    waitUntil([&] { return !text(program[Program::txtIPPort]).empty(); });
    const std::wstring result = text(program[Program::txtIPPort]);
    std::printf("User hash number: %ls\nIP and port:      %ls\n", text(program[Program::txtHash]).c_str(), result.c_str());

    RECT frame{};
    GetWindowRect(program.window, &frame);
    std::printf("window: %ld %ld %ld %ld\n", frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top);
    std::fflush(stdout);
    waitUntil([&] { return GetFileAttributesW(argv[1]) != INVALID_FILE_ATTRIBUTES; }, 20000);

    press(VK_F4, {VK_MENU});
    const DWORD exitCode = program.exitCode();
    std::printf("Closed with Alt+F4, exit code %lu.\n", exitCode);
    return exitCode == 0 && result == L"192.168.0.1:8080" ? 0 : 1;
}
