// Drives a running KavloIPFinder.exe from outside, as a user and an accessibility client would:
// synthesized input, and reading what is on screen. Shared by the UI tests, the run command's
// walkthrough and the start-up benchmark.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace driver {

// How long a wait may take before it is a fault: long enough for Wine on a machine loaded far
// beyond its cores. Every wait ends as soon as its condition holds, so only a fault waits so long.
inline constexpr DWORD kPatienceMs = 60000;

// Polls `condition` for up to `limitMs` milliseconds. Pumps this thread's own messages before each
// look, so that windows of the test stay alive and input already sent to them has been handled:
// a click on a test window left in the queue would activate it later, behind the test's back.
inline bool waitUntil(const std::function<bool()>& condition, DWORD limitMs = kPatienceMs) {
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    while (true) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        if (condition()) return true;
        if (GetTickCount64() > deadline) return false;
        Sleep(10);
    }
}

inline std::wstring text(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kPatienceMs, &length)) return L"<hung>";
    std::wstring result(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, result.size(), reinterpret_cast<LPARAM>(result.data()),
                        SMTO_ABORTIFHUNG, kPatienceMs, &copied);
    result.resize(copied);
    return result;
}

inline std::wstring className(HWND window) {
    wchar_t name[128] = {};
    GetClassNameW(window, name, 128);
    std::wstring_view view(name);
    // Common Controls 6 classes may carry a version prefix ("6.0.0.0!Button").
    if (const auto bang = view.rfind(L'!'); bang != std::wstring_view::npos) view.remove_prefix(bang + 1);
    return std::wstring(view);
}

inline void send(std::vector<INPUT> inputs) {
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

inline INPUT keyInput(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

// Presses `key` while holding `modifiers` (VK_SHIFT, VK_CONTROL, VK_MENU).
inline void press(WORD key, std::initializer_list<WORD> modifiers = {}) {
    std::vector<INPUT> inputs;
    for (WORD modifier : modifiers) inputs.push_back(keyInput(modifier, false));
    inputs.push_back(keyInput(key, false));
    inputs.push_back(keyInput(key, true));
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it) inputs.push_back(keyInput(*it, true));
    send(inputs);
}

// Types text as characters, the way an input method or a paste-by-typing tool does.
inline void type(std::wstring_view characters) {
    std::vector<INPUT> inputs;
    for (wchar_t character : characters) {
        for (bool up : {false, true}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = static_cast<WORD>(character);
            input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
            inputs.push_back(input);
        }
    }
    send(inputs);
}

inline void click(POINT screen, bool right = false) {
    // Two clicks on one spot in quick succession would make a double click.
    static POINT lastSpot{-1, -1};
    static ULONGLONG lastTime = 0;
    if (screen.x == lastSpot.x && screen.y == lastSpot.y && GetTickCount64() - lastTime <= GetDoubleClickTime()) {
        Sleep(GetDoubleClickTime() + 50);
    }
    lastSpot = screen;
    lastTime = GetTickCount64();
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    const auto mouse = [&](DWORD flags) {
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dx = MulDiv(screen.x, 65535, width - 1);
        input.mi.dy = MulDiv(screen.y, 65535, height - 1);
        input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | flags;
        return input;
    };
    // The pointer first gets there, so that the press lands where it was aimed.
    send({mouse(MOUSEEVENTF_MOVE)});
    waitUntil([&] {
        POINT at{};
        return GetCursorPos(&at) && at.x == screen.x && at.y == screen.y;
    });
    // Each button event carries the position too, so that a late pointer update cannot move it.
    send({mouse(MOUSEEVENTF_MOVE | (right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN))});
    send({mouse(MOUSEEVENTF_MOVE | (right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP))});
}

inline POINT centreOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

struct TopLevelSearch {
    DWORD processId;
    DWORD threadId;
    std::wstring_view caption;
    HWND found;
};

inline BOOL CALLBACK matchTopLevel(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<TopLevelSearch*>(context);
    DWORD owner = 0;
    const DWORD thread = GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId || thread != search.threadId || !IsWindowVisible(window) ||
        (!search.caption.empty() && text(window) != search.caption)) {
        return TRUE;
    }
    search.found = window;
    return FALSE;
}

// The visible top-level window with this caption (any, if empty: no message to a program that may
// be busy starting) that this thread of this process made. Both ids: Wine reuses them soon, and a
// window of an ended program can outlive it for a moment.
inline HWND findTopLevel(DWORD processId, DWORD threadId, std::wstring_view caption) {
    TopLevelSearch search{processId, threadId, caption, nullptr};
    EnumWindows(matchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A running copy of the program; ended by its destructor if a test leaves it open.
class Program {
public:
    enum Child { Label1, txtHash, cmdCalculate, Label2, txtIPPort, kChildCount };

    explicit Program(const std::wstring& exe) {
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        std::wstring commandLine = L"\"" + exe + L"\"";
        // Wine now and then refuses a process while the one before is still going away
        // (ERROR_INTERNAL_ERROR); a user would start it again.
        bool started = false;
        for (int attempt = 0; attempt < 3 && !started; ++attempt) {
            if (attempt > 0) Sleep(500);
            started = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                     &startup, &process_) != 0;
            if (!started && GetLastError() != ERROR_INTERNAL_ERROR) break;
        }
        if (!started) {
            problem = "CreateProcess failed with error " + std::to_string(GetLastError());
            return;
        }
        threadId = process_.dwThreadId;
        waitUntil([&] { return (window = findTopLevel(process_.dwProcessId, threadId, L"Kavlo IP Finder")) != nullptr; },
                  30000);
        if (!window) {
            problem = "no window within 30 s";
            return;
        }
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            children.push_back(child);
        }
        if (children.size() != kChildCount) {
            problem = std::to_string(children.size()) + " controls";
            return;
        }
        ready_ = waitUntil([&] { return focus() == children[txtHash]; });
        if (!ready_) problem = "the focus is not in the hash box";
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    ~Program() {
        if (!process_.hProcess) return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 99);
            WaitForSingleObject(process_.hProcess, kPatienceMs);
        }
        // Its window may outlive it for a moment; the next program should not meet it.
        waitUntil([&] { return !IsWindow(window); });
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }

    // The window is up, with its five controls, and focus in the hash box.
    [[nodiscard]] bool ready() const { return ready_; }
    [[nodiscard]] HANDLE process() const { return process_.hProcess; }
    [[nodiscard]] HWND operator[](Child child) const { return children[child]; }

    [[nodiscard]] HWND focus() const {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        return GetGUIThreadInfo(threadId, &info) ? info.hwndFocus : nullptr;
    }

    // Brings the window to the front so that it receives the input that follows.
    bool activate() const {
        SetForegroundWindow(window);
        return waitUntil([&] { return GetForegroundWindow() == window; });
    }

    // Waits for the result box to show `expected`.
    bool showsResult(std::wstring_view expected, DWORD limitMs = kPatienceMs) const {
        return waitUntil([&] { return text(children[txtIPPort]) == expected; }, limitMs);
    }

    // The program's exit code once it has ended within the limit; STILL_ACTIVE otherwise.
    [[nodiscard]] DWORD exitCode(DWORD limitMs = kPatienceMs) const {
        WaitForSingleObject(process_.hProcess, limitMs);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }

    HWND window = nullptr;
    DWORD threadId = 0;
    std::vector<HWND> children;
    std::string problem;  // why the program is not ready

private:
    PROCESS_INFORMATION process_{};
    bool ready_ = false;
};

// A file next to this executable.
inline std::wstring besideThis(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring result(path);
    result.resize(result.find_last_of(L"\\/") + 1);
    return result + name;
}

inline std::wstring programPath() { return besideThis(L"KavloIPFinder.exe"); }

}  // namespace driver
