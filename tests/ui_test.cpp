// Starts the real KavloIPFinder.exe and checks it the way a user and a screen reader meet it.
#include "window_driver.h"
#include "version.h"

#include <gtest/gtest.h>
#include <oleacc.h>
#include <psapi.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using namespace driver;
using Child = Program::Child;

// The screen DPI this run expects (the Wine prefix's LogPixels), from --expect-dpi=N.
UINT gExpectedDpi = 96;
// The exe under test (--program=PATH, or a bare file name beside this test; KavloIPFinder.exe by
// default) and its manifest's architecture (--manifest-arch=x86|amd64).
std::wstring gProgram;
std::string gManifestArch = "x86";
// --legacy: the program under test finds none of the functions newer than Windows XP.
bool gLegacy = false;

const std::wstring kLengthMessage = L"Please enter 12 digits";
const std::wstring kHexMessage = L"Please enter hex digits";

void setTextFromOutside(HWND box, const std::wstring& value) {
    SendMessageTimeoutW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()), SMTO_ABORTIFHUNG, kPatienceMs, nullptr);
}

class Window : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(program.ready()) << "the window did not come up with focus in the hash box: " << program.problem;
        ASSERT_TRUE(program.activate());
    }

    HWND operator[](Child child) const { return program[child]; }

    // Types into the hash box from scratch and waits until it holds what was typed. Its failures
    // are fatal: call it in ASSERT_NO_FATAL_FAILURE, which then ends the test.
    void enterHash(std::wstring_view hash) {
        click(centreOf(program[Child::txtHash]));
        ASSERT_TRUE(waitUntil([&] { return program.focus() == program[Child::txtHash]; }));
        press('A', {VK_CONTROL});
        press(VK_DELETE);
        ASSERT_TRUE(waitUntil([&] { return text(program[Child::txtHash]).empty(); }));
        type(hash);
        ASSERT_TRUE(waitUntil([&] { return text(program[Child::txtHash]) == hash.substr(0, 12); }));
    }

    // Clears the result box's text from outside, so the next press shows whether it wrote.
    void clearResult() { setTextFromOutside(program[Child::txtIPPort], L""); }

    Program program{gProgram};
};

TEST_F(Window, StartsEmptyCentredWithFocusInTheHashBox) {
    EXPECT_EQ(text(program.window), L"Kavlo IP Finder");
    const auto style = static_cast<DWORD>(GetWindowLongW(program.window, GWL_STYLE));
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_TRUE(GetWindowLongW(program.window, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    RECT frame{};
    GetWindowRect(program.window, &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(program.window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    EXPECT_NEAR(frame.left + frame.right, monitor.rcWork.left + monitor.rcWork.right, 2);
    EXPECT_NEAR(frame.top + frame.bottom, monitor.rcWork.top + monitor.rcWork.bottom, 2);

    struct Expected {
        Child child;
        const wchar_t* className;
        const wchar_t* text;
    };
    for (const Expected& e : {Expected{Child::Label1, L"Static", L"User hash number"},
                              Expected{Child::txtHash, L"Edit", L""}, Expected{Child::cmdCalculate, L"Button", L"&Calculate"},
                              Expected{Child::Label2, L"Static", L"IP and port"},
                              Expected{Child::txtIPPort, L"Edit", L""}}) {
        EXPECT_EQ(_wcsicmp(className(program[e.child]).c_str(), e.className), 0) << e.className;
        EXPECT_EQ(text(program[e.child]), e.text);
    }
    EXPECT_EQ(program.focus(), program[Child::txtHash]);
    EXPECT_TRUE(GetWindowLongW(program[Child::txtIPPort], GWL_STYLE) & ES_READONLY);
    EXPECT_FALSE(GetWindowLongW(program[Child::txtHash], GWL_STYLE) & ES_READONLY);
    EXPECT_EQ(GetWindowLongW(program[Child::cmdCalculate], GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
}

struct TwipsRect {
    int left, top, width, height;
};
constexpr std::array<std::pair<Child, TwipsRect>, 5> kLayout{{
    {Child::Label1, {240, 120, 1695, 255}},
    {Child::Label2, {240, 600, 1695, 255}},
    {Child::txtHash, {2280, 120, 1935, 285}},
    {Child::cmdCalculate, {1560, 1080, 1455, 315}},
    {Child::txtIPPort, {2280, 600, 1935, 285}},
}};

void expectControlsAt(const Program& program, int dpi) {
    const auto px = [dpi](int twips) { return MulDiv(twips, dpi, 1440); };
    for (const auto& row : kLayout) {
        const Child child = row.first;
        const TwipsRect& twips = row.second;
        RECT rect{};
        GetWindowRect(program[child], &rect);
        MapWindowPoints(nullptr, program.window, reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_EQ(rect.left, px(twips.left)) << "child " << child;
        EXPECT_EQ(rect.top, px(twips.top)) << "child " << child;
        EXPECT_EQ(rect.right - rect.left, px(twips.width)) << "child " << child;
        EXPECT_EQ(rect.bottom - rect.top, px(twips.height)) << "child " << child;
    }
}

TEST_F(Window, LaysOutControlsFromTwipsAtTheScreenDpi) {
    const int dpi = static_cast<int>(gExpectedDpi);
    EXPECT_EQ(GetDpiForWindow(program.window), gExpectedDpi);
    RECT client{};
    GetClientRect(program.window, &client);
    EXPECT_EQ(client.right, MulDiv(4425, dpi, 1440));
    EXPECT_EQ(client.bottom, MulDiv(1500, dpi, 1440));
    expectControlsAt(program, dpi);
    if (gExpectedDpi == 96) {
        RECT hash{};
        GetWindowRect(program[Child::txtHash], &hash);
        MapWindowPoints(nullptr, program.window, reinterpret_cast<POINT*>(&hash), 2);
        EXPECT_EQ(hash.left, 152);  // the documented pixel values at 96 DPI
        EXPECT_EQ(hash.right - hash.left, 129);
    }

    // The text is drawn in the message font at the window's DPI: the hash box's text is as wide as
    // that font makes it.
    const std::wstring hash = L"0100A8C01F90";
    setTextFromOutside(program[Child::txtHash], hash);
    const auto x = [&](int index) {
        DWORD_PTR position = 0;
        SendMessageTimeoutW(program[Child::txtHash], EM_POSFROMCHAR, index, 0, SMTO_ABORTIFHUNG, kPatienceMs, &position);
        return static_cast<int>(static_cast<short>(LOWORD(position)));
    };
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    ASSERT_TRUE(SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, gExpectedDpi));
    HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
    HDC screen = GetDC(nullptr);
    const HGDIOBJ previous = SelectObject(screen, font);
    SIZE extent{};
    GetTextExtentPoint32W(screen, hash.c_str(), 11, &extent);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    DeleteObject(font);
    EXPECT_EQ(x(11) - x(0), extent.cx) << "the first 11 characters in " << metrics.lfMessageFont.lfHeight << "-pixel "
                                       << std::string(metrics.lfMessageFont.lfFaceName,
                                                      metrics.lfMessageFont.lfFaceName + wcslen(metrics.lfMessageFont.lfFaceName));
}

// Puts a value into the program's address space, for messages whose lParam points to it.
template <typename T>
class RemoteValue {
public:
    RemoteValue(HANDLE process, const T& value) : process_(process) {
        address_ = VirtualAllocEx(process, nullptr, sizeof(T), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        WriteProcessMemory(process, address_, &value, sizeof(T), nullptr);
    }
    ~RemoteValue() { VirtualFreeEx(process_, address_, 0, MEM_RELEASE); }
    RemoteValue(const RemoteValue&) = delete;
    RemoteValue& operator=(const RemoteValue&) = delete;
    [[nodiscard]] LPARAM lParam() const { return reinterpret_cast<LPARAM>(address_); }
    [[nodiscard]] T read() const {
        T value{};
        ReadProcessMemory(process_, address_, &value, sizeof(T), nullptr);
        return value;
    }

private:
    HANDLE process_;
    void* address_;
};

TEST_F(Window, FollowsAChangeOfDpi) {
    constexpr UINT kNewDpi = 192;
    const auto style = static_cast<DWORD>(GetWindowLongW(program.window, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongW(program.window, GWL_EXSTYLE));
    RECT expectedFrame{0, 0, MulDiv(4425, kNewDpi, 1440), MulDiv(1500, kNewDpi, 1440)};
    // The frame scales with the DPI from Windows 10 1607 on; before, it keeps the system's metrics.
    if (gLegacy) {
        AdjustWindowRectEx(&expectedFrame, style, FALSE, exStyle);
    } else {
        AdjustWindowRectExForDpi(&expectedFrame, style, FALSE, exStyle, kNewDpi);
    }
    const SIZE expectedSize{expectedFrame.right - expectedFrame.left, expectedFrame.bottom - expectedFrame.top};

    RemoteValue<SIZE> size(program.process(), SIZE{});
    EXPECT_EQ(SendMessageW(program.window, WM_GETDPISCALEDSIZE, kNewDpi, size.lParam()), TRUE);
    EXPECT_EQ(size.read().cx, expectedSize.cx);
    EXPECT_EQ(size.read().cy, expectedSize.cy);

    const RECT suggested{10, 20, 10 + expectedSize.cx, 20 + expectedSize.cy};
    RemoteValue<RECT> rect(program.process(), suggested);
    SendMessageW(program.window, WM_DPICHANGED, MAKEWPARAM(kNewDpi, kNewDpi), rect.lParam());
    // The window takes the suggested rectangle; its frame keeps the monitor's metrics under Wine,
    // which has not really moved it, so the client area is not compared.
    RECT frame{};
    GetWindowRect(program.window, &frame);
    EXPECT_EQ(frame.left, suggested.left);
    EXPECT_EQ(frame.top, suggested.top);
    EXPECT_EQ(frame.right, suggested.right);
    EXPECT_EQ(frame.bottom, suggested.bottom);
    expectControlsAt(program, kNewDpi);
    // Still works after the change.
    ASSERT_NO_FATAL_FAILURE(enterHash(L"0100A8C01F90"));
    press(VK_RETURN);
    EXPECT_TRUE(program.showsResult(L"192.168.0.1:8080"));
}

TEST_F(Window, HashBoxTakesAtMostTwelveCharacters) {
    type(L"0100a8c01f90FFFF");
    ASSERT_TRUE(waitUntil([&] { return text(program[Child::txtHash]).size() == 12; }));
    press(VK_RETURN);  // once the press is answered, every key before it has been handled
    EXPECT_TRUE(program.showsResult(L"192.168.0.1:8080"));
    EXPECT_EQ(text(program[Child::txtHash]), L"0100a8c01f90");
}

TEST_F(Window, EveryWayOfPressingCalculateDecodes) {
    struct Way {
        const char* name;
        std::function<void(Window&)> press;
    };
    const Way ways[] = {
        {"Enter in the hash box", [](Window&) { press(VK_RETURN); }},
        {"Enter in the result box",
         [](Window& w) {
             press(VK_TAB, {VK_SHIFT});
             ASSERT_TRUE(waitUntil([&] { return w.program.focus() == w[Child::txtIPPort]; }));
             press(VK_RETURN);
         }},
        {"Alt+C", [](Window&) { press('C', {VK_MENU}); }},
        {"Space on the button",
         [](Window& w) {
             press(VK_TAB);
             ASSERT_TRUE(waitUntil([&] { return w.program.focus() == w[Child::cmdCalculate]; }));
             press(VK_SPACE);
         }},
        {"mouse click", [](Window& w) { click(centreOf(w[Child::cmdCalculate])); }},
    };
    const wchar_t* hashes[] = {L"0100A8C01F90", L"7f0000010050"};
    const wchar_t* results[] = {L"192.168.0.1:8080", L"1.0.0.127:80"};
    int round = 0;
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        ASSERT_NO_FATAL_FAILURE(enterHash(hashes[round % 2]));
        clearResult();
        ASSERT_NO_FATAL_FAILURE(way.press(*this));
        EXPECT_TRUE(program.showsResult(results[round % 2]));
        ++round;
    }
}

TEST_F(Window, RepeatedPressesReplaceTheResultAndRecoverFromMessages) {
    struct Step {
        const wchar_t* hash;
        std::wstring expected;
    };
    const Step steps[] = {
        {L"0100A8C01F90", L"192.168.0.1:8080"}, {L"0100A8C01F90", L"192.168.0.1:8080"},
        {L"0100A8C01F9", kLengthMessage},       {L"7F0000010050", L"1.0.0.127:80"},
        {L"0100A8C01F9G", kHexMessage},         {L"", kLengthMessage},
        {L"FFFFFFFFFFFF", L"255.255.255.255:65535"}, {L"0100 8C01F90", kHexMessage},
        {L"000000000000", L"0.0.0.0:0"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.hash, step.hash + wcslen(step.hash)));
        ASSERT_NO_FATAL_FAILURE(enterHash(step.hash));
        clearResult();
        press(VK_RETURN);
        EXPECT_TRUE(program.showsResult(step.expected));
    }
}

TEST_F(Window, TabCyclesThroughTheBoxesAndTheButtonBothWays) {
    const auto isDefaultButton = [&] {
        return waitUntil([&] {
            return (GetWindowLongW(program[Child::cmdCalculate], GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
        });
    };
    const Child forward[] = {Child::cmdCalculate, Child::txtIPPort, Child::txtHash, Child::cmdCalculate};
    for (Child next : forward) {
        press(VK_TAB);
        ASSERT_TRUE(waitUntil([&] { return program.focus() == program[next]; })) << "forward to " << next;
        // Enter still presses Calculate from a text box, so the button keeps its default look.
        EXPECT_TRUE(isDefaultButton()) << "forward to " << next;
    }
    const Child backward[] = {Child::txtHash, Child::txtIPPort, Child::cmdCalculate, Child::txtHash};
    for (Child next : backward) {
        press(VK_TAB, {VK_SHIFT});
        ASSERT_TRUE(waitUntil([&] { return program.focus() == program[next]; })) << "backward to " << next;
        EXPECT_TRUE(isDefaultButton()) << "backward to " << next;
    }
}

TEST_F(Window, EscapeDoesNothing) {
    type(L"0100");
    press(VK_ESCAPE);
    type(L"A8C01F90");
    press(VK_RETURN);
    EXPECT_TRUE(program.showsResult(L"192.168.0.1:8080"));
    EXPECT_TRUE(IsWindowVisible(program.window));
    EXPECT_EQ(program.focus(), program[Child::txtHash]);
}

std::wstring clipboardText() {
    std::wstring result;
    if (!OpenClipboard(nullptr)) return L"<clipboard busy>";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            result = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return result;
}

void setClipboardText(const std::wstring& value) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (value.size() + 1) * sizeof(wchar_t));
    std::memcpy(GlobalLock(memory), value.c_str(), (value.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
}

TEST_F(Window, ResultCannotBeEditedButCanBeCopied) {
    ASSERT_NO_FATAL_FAILURE(enterHash(L"0100A8C01F90"));
    press(VK_RETURN);
    ASSERT_TRUE(program.showsResult(L"192.168.0.1:8080"));
    click(centreOf(program[Child::txtIPPort]));
    ASSERT_TRUE(waitUntil([&] { return program.focus() == program[Child::txtIPPort]; }));

    // Typing, deleting, cutting and pasting all leave it as it is.
    setClipboardText(L"pasted");
    type(L"x");
    press(VK_HOME);
    press(VK_DELETE);
    press(VK_END);
    press(VK_BACK);
    press('A', {VK_CONTROL});
    press('X', {VK_CONTROL});
    press('V', {VK_CONTROL});
    press(VK_INSERT, {VK_SHIFT});
    press(VK_TAB, {VK_SHIFT});  // a marker: once focus has moved, every key before it was handled
    ASSERT_TRUE(waitUntil([&] { return program.focus() == program[Child::cmdCalculate]; }));
    EXPECT_EQ(text(program[Child::txtIPPort]), L"192.168.0.1:8080");

    // Keyboard copy.
    press(VK_TAB);
    ASSERT_TRUE(waitUntil([&] { return program.focus() == program[Child::txtIPPort]; }));
    press(VK_HOME);
    press(VK_END, {VK_SHIFT});
    press('C', {VK_CONTROL});
    // The clipboard is read only after the marker: while this test holds it open, the program's copy
    // cannot open it and is lost.
    press(VK_TAB, {VK_SHIFT});
    ASSERT_TRUE(waitUntil([&] { return program.focus() == program[Child::cmdCalculate]; }));
    EXPECT_TRUE(waitUntil([] { return clipboardText() == L"192.168.0.1:8080"; })) << "clipboard: " << clipboardText();

    // Context-menu copy: Select All, then Copy.
    setClipboardText(L"empty");
    press(VK_TAB);
    ASSERT_TRUE(waitUntil([&] { return program.focus() == program[Child::txtIPPort]; }));
    press(VK_HOME);
    const auto menuIsOpen = [] { return FindWindowW(L"#32768", nullptr) && IsWindowVisible(FindWindowW(L"#32768", nullptr)); };
    click(centreOf(program[Child::txtIPPort]), true);
    ASSERT_TRUE(waitUntil(menuIsOpen));
    type(L"a");
    ASSERT_TRUE(waitUntil([&] { return !menuIsOpen(); }));
    click(centreOf(program[Child::txtIPPort]), true);
    ASSERT_TRUE(waitUntil(menuIsOpen));
    type(L"c");
    ASSERT_TRUE(waitUntil([&] { return !menuIsOpen(); }));
    // Returns once the program is back in its message loop, past the copy that follows the menu.
    SendMessageTimeoutW(program.window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kPatienceMs, nullptr);
    EXPECT_TRUE(waitUntil([] { return clipboardText() == L"192.168.0.1:8080"; })) << "clipboard: " << clipboardText();
    EXPECT_EQ(text(program[Child::txtIPPort]), L"192.168.0.1:8080");
}

TEST_F(Window, FocusReturnsToItsControlAfterSwitchingAway) {
    press(VK_TAB);
    ASSERT_TRUE(waitUntil([&] { return program.focus() == program[Child::cmdCalculate]; }));
    // An activation while minimized leaves the focus where it is.
    SendMessageTimeoutW(program.window, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, TRUE), 0, SMTO_ABORTIFHUNG, kPatienceMs, nullptr);
    EXPECT_EQ(program.focus(), program[Child::cmdCalculate]);
    press(VK_TAB);
    ASSERT_TRUE(waitUntil([&] { return program.focus() == program[Child::txtIPPort]; }));

    // Another program's window comes to the front: the test's own.
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"KavloTestOtherWindow";
    RegisterClassW(&windowClass);
    HWND other = CreateWindowExW(0, windowClass.lpszClassName, L"Other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                 120, nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(other, nullptr);
    click(centreOf(other));
    EXPECT_TRUE(waitUntil([&] { return GetForegroundWindow() == other; }));

    // Back again with a click on the window's own background, away from every control. Wine
    // under load now and then drops a click that activates a window, so a user's second try is allowed.
    POINT emptySpot{4, 4};
    ClientToScreen(program.window, &emptySpot);
    bool back = false;
    for (int attempt = 0; attempt < 3 && !back; ++attempt) {
        click(emptySpot);
        back = waitUntil([&] { return GetForegroundWindow() == program.window; }, kPatienceMs / 3);
    }
    EXPECT_TRUE(back);
    EXPECT_TRUE(waitUntil([&] { return program.focus() == program[Child::txtIPPort]; }))
        << "focus is on " << program.focus() << ", the hash box is " << program[Child::txtHash];
    DestroyWindow(other);
}

std::wstring accessibleName(HWND window) {
    IAccessible* accessible = nullptr;
    // __uuidof, not IID_IAccessible: MinGW-w64's 64-bit liboleacc.a exports that name as an import
    // thunk, so without dllimport it links to code bytes, not the interface id.
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&accessible)))) {
        return L"<no accessible object>";
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    std::wstring result = L"<no name>";
    if (accessible->get_accName(self, &name) == S_OK && name) result = name;
    SysFreeString(name);
    accessible->Release();
    return result;
}

TEST_F(Window, ScreenReadersNameEachBoxAfterItsLabel) {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    ASSERT_NO_FATAL_FAILURE(enterHash(L"0100A8C01F90"));
    press(VK_RETURN);
    ASSERT_TRUE(program.showsResult(L"192.168.0.1:8080"));
    EXPECT_EQ(accessibleName(program[Child::txtHash]), L"User hash number");
    EXPECT_EQ(accessibleName(program[Child::txtIPPort]), L"IP and port");
    EXPECT_EQ(accessibleName(program[Child::cmdCalculate]), L"Calculate");
    CoUninitialize();
}

// The path of a DLL the program has loaded, by its file name; empty if it has none of that name.
std::wstring loadedPath(HANDLE process, const wchar_t* dll) {
    HMODULE modules[512];
    DWORD bytes = 0;
    if (!EnumProcessModules(process, modules, sizeof(modules), &bytes)) return {};
    for (DWORD i = 0; i < bytes / sizeof(HMODULE); ++i) {
        wchar_t name[MAX_PATH] = {};
        GetModuleFileNameExW(process, modules[i], name, MAX_PATH);
        std::wstring path = name;
        if (_wcsicmp(path.substr(path.find_last_of(L"\\/") + 1).c_str(), dll) == 0) return path;
    }
    return {};
}

TEST_F(Window, HasTheThemedControlsOfCommonControlsSix) {
    // Version 6 lives in the side-by-side store, in the folder of its assembly, whose name carries
    // its version: ...\WinSxS\amd64_microsoft.windows.common-controls_6595b64144ccf1df_6.0.19041.1_...
    // (the file's own version record says 6.10 on Windows, 5.81 under Wine).
    std::wstring path = loadedPath(program.process(), L"comctl32.dll");
    std::transform(path.begin(), path.end(), path.begin(), towlower);
    EXPECT_NE(path.find(L"common-controls_6595b64144ccf1df_6."), std::wstring::npos)
        << "comctl32 from " << std::string(path.begin(), path.end());
}

TEST(Closing, EndsTheProgramAtOnceWithExitCodeZero) {
    struct Way {
        const char* name;
        std::function<void(const Program&)> close;
    };
    const Way ways[] = {
        {"Alt+F4", [](const Program&) { press(VK_F4, {VK_MENU}); }},
        {"system menu",
         [](const Program&) {
             press(VK_SPACE, {VK_MENU});
             waitUntil([] { return FindWindowW(L"#32768", nullptr) != nullptr; });
             type(L"c");
         }},
        {"close box",
         [](const Program& p) {
             // Finds the close box as a mouse would, and clicks its middle.
             RECT frame{};
             GetWindowRect(p.window, &frame);
             RECT box{LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
             for (int y = frame.top; y < frame.top + 80; ++y) {
                 for (int x = frame.right - 1; x > frame.right - 120; --x) {
                     DWORD_PTR hit = 0;
                     SendMessageTimeoutW(p.window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, kPatienceMs, &hit);
                     if (hit != HTCLOSE) continue;
                     box = {std::min(box.left, LONG(x)), std::min(box.top, LONG(y)), std::max(box.right, LONG(x)),
                            std::max(box.bottom, LONG(y))};
                 }
             }
             if (box.left <= box.right) return click({(box.left + box.right) / 2, (box.top + box.bottom) / 2});
             ADD_FAILURE() << "no close box found";
         }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        Program program(gProgram);
        ASSERT_TRUE(program.ready()) << program.problem;
        ASSERT_TRUE(program.activate());
        type(L"0100A8C01F90");
        ASSERT_TRUE(waitUntil([&] { return text(program[Child::txtHash]).size() == 12; }));
        way.close(program);
        EXPECT_EQ(program.exitCode(), 0u);
    }
}

// --- Soak: many presses and huge texts through the real window ---

struct Resources {
    DWORD gdiObjects;
    DWORD userObjects;
    SIZE_T privateBytes;
};

Resources resourcesOf(HANDLE process) {
    // The commit charge is the process's private bytes (and, unlike PrivateUsage, Wine fills it in).
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(process, &memory, sizeof(memory));
    return {GetGuiResources(process, GR_GDIOBJECTS), GetGuiResources(process, GR_USEROBJECTS), memory.PagefileUsage};
}

void print(const char* when, const Resources& r) {
    std::printf("%-22s GDI objects %4lu  USER objects %4lu  private bytes %8lu\n", when, r.gdiObjects, r.userObjects,
                static_cast<unsigned long>(r.privateBytes));
}

TEST_F(Window, SoakManyPressesAndHugeTextsLeaveNothingBehind) {
    struct Round {
        std::wstring hash;
        std::wstring expected;
    };
    // Each result differs from the one before it, so every press can be seen to have happened.
    const Round rounds[] = {
        {L"0100A8C01F90", L"192.168.0.1:8080"},
        {L"0100A8C", kLengthMessage},
        {L"0100A8C01F9Z", kHexMessage},
        {L"0100A8C01F900100A8C01F90", kLengthMessage},
    };
    constexpr int kPresses = 10000;
    const auto pressRounds = [&](int count) {
        for (int i = 0; i < count; ++i) {
            const Round& round = rounds[i % 4];
            setTextFromOutside(program[Child::txtHash], round.hash);
            press(VK_RETURN);
            if (!program.showsResult(round.expected)) return i;
        }
        return count;
    };
    ASSERT_EQ(pressRounds(100), 100);  // warm-up: the first presses allocate what every press reuses
    const Resources before = resourcesOf(program.process());
    print("after 100 presses", before);
    ASSERT_EQ(pressRounds(kPresses), kPresses);
    const Resources afterPresses = resourcesOf(program.process());
    print("after 10,100 presses", afterPresses);

    // A megabyte on the clipboard, pasted into the hash box: it keeps twelve characters. Then
    // 100,000 characters set from outside, and Calculate: the first time may leave the heap larger
    // (Wine's copy of the clipboard comes and goes), and then presses that read the huge text
    // again and again must not add to it (a copy kept per press would add 4 MB).
    setClipboardText(std::wstring(1 << 20, L'7'));
    setTextFromOutside(program[Child::txtHash], L"");
    press('V', {VK_CONTROL});
    ASSERT_TRUE(waitUntil([&] { return text(program[Child::txtHash]) == std::wstring(12, L'7'); }));
    press(VK_RETURN);
    EXPECT_TRUE(program.showsResult(L"119.119.119.119:30583"));
    setClipboardText(L"");
    setTextFromOutside(program[Child::txtHash], std::wstring(100000, L'A'));
    EXPECT_EQ(text(program[Child::txtHash]).size(), 100000u);
    const auto pressOnHugeText = [&] {
        clearResult();
        press(VK_RETURN);
        return program.showsResult(kLengthMessage);
    };
    ASSERT_TRUE(pressOnHugeText());
    const Resources afterFirstHuge = resourcesOf(program.process());
    print("after the huge texts", afterFirstHuge);
    // What the heap takes once may land a round late on a loaded machine (Wine's copy of the
    // clipboard); a copy kept per press takes more in every round. So one round of two must leave
    // memory as it found it.
    Resources after = afterFirstHuge;
    std::uint64_t leastGrowth = UINT64_MAX;
    for (const char* round : {"after 20 presses more", "after 40 presses more"}) {
        for (int i = 0; i < 20; ++i) ASSERT_TRUE(pressOnHugeText()) << round << ": press " << i;
        const Resources now = resourcesOf(program.process());
        print(round, now);
        leastGrowth = std::min<std::uint64_t>(leastGrowth, now.privateBytes > after.privateBytes ? now.privateBytes - after.privateBytes : 0);
        after = now;
    }
    if (before.gdiObjects == 0 && after.gdiObjects == 0) std::printf("(GDI object counts read as zero here)\n");
    if (before.userObjects == 0 && after.userObjects == 0) std::printf("(USER object counts read as zero here)\n");
    ASSERT_GT(before.privateBytes, 0u) << "no memory figures to compare";
    EXPECT_LE(afterPresses.gdiObjects, before.gdiObjects + 2);
    EXPECT_LE(afterPresses.userObjects, before.userObjects + 2);
    EXPECT_LE(afterPresses.privateBytes, before.privateBytes + 256 * 1024) << "memory grows with presses";
    EXPECT_LE(after.gdiObjects, before.gdiObjects + 2);
    EXPECT_LE(after.userObjects, before.userObjects + 2);
    EXPECT_LE(leastGrowth, 256u * 1024) << "memory grows with every round of presses on a huge text";
}

// --- The executable file's resources (its header and imports are checked by scripts/lib/pe.py) ---

std::wstring versionString(const std::vector<std::uint8_t>& info, const wchar_t* key) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
    if (!VerQueryValueW(info.data(), path.c_str(), &value, &length) || !value) return L"<missing>";
    return static_cast<const wchar_t*>(value);
}

TEST(Executable, CarriesItsVersionRecord) {
    const std::wstring& path = gProgram;
    std::vector<std::uint8_t> info(GetFileVersionInfoSizeW(path.c_str(), nullptr));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    const auto high = static_cast<DWORD>(MAKELONG(KAVLO_VERSION_MINOR, KAVLO_VERSION_MAJOR));
    const auto low = static_cast<DWORD>(MAKELONG(KAVLO_VERSION_BUILD, KAVLO_VERSION_PATCH));
    EXPECT_EQ(fixed->dwFileVersionMS, high);
    EXPECT_EQ(fixed->dwFileVersionLS, low);
    EXPECT_EQ(fixed->dwProductVersionMS, high);
    EXPECT_EQ(fixed->dwProductVersionLS, low);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);

    const std::pair<const wchar_t*, const wchar_t*> strings[] = {
        {L"Comments", L"Kavlo IP Finder"},           {L"FileDescription", L"Kavlo IP Finder EXE"},
        {L"ProductName", L"Kavlo IP Finder"},        {L"FileVersion", L"" KAVLO_VERSION_TEXT},
        {L"ProductVersion", L"" KAVLO_VERSION_TEXT}, {L"InternalName", L"KavloIPFinder"},
        {L"OriginalFilename", L"KavloIPFinder.exe"},
    };
    for (const auto& [key, value] : strings) EXPECT_EQ(versionString(info, key), value) << key;
    EXPECT_FALSE(versionString(info, L"CompanyName").empty());
    EXPECT_NE(versionString(info, L"LegalCopyright").find(L'\u00A9'), std::wstring::npos);
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colorCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)

TEST(Executable, CarriesItsIconsAndManifest) {
    HMODULE module = LoadLibraryExW(gProgram.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    const auto resource = [module](int id, int type) -> std::pair<const std::uint8_t*, DWORD> {
        HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
        if (!found) return {nullptr, 0};
        return {static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found))), SizeofResource(module, found)};
    };

    const auto [group, groupSize] = resource(1, 14);  // RT_GROUP_ICON
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(groupSize, 6 + 2 * sizeof(GroupIconEntry));
    const auto* header = reinterpret_cast<const WORD*>(group);
    EXPECT_EQ(header[1], 1);  // icon
    ASSERT_EQ(header[2], 2);
    const auto* entries = reinterpret_cast<const GroupIconEntry*>(group + 6);
    const std::pair<WORD, int> expected[] = {{30001, 32}, {30002, 16}};
    for (int i = 0; i < 2; ++i) {
        const auto [id, size] = expected[i];
        EXPECT_EQ(entries[i].id, id);
        EXPECT_EQ(entries[i].width, size);
        EXPECT_EQ(entries[i].height, size);
        EXPECT_EQ(entries[i].bitCount, 4);
        const auto [image, imageSize] = resource(id, 3);  // RT_ICON
        ASSERT_NE(image, nullptr) << id;
        EXPECT_EQ(imageSize, entries[i].bytesInRes);
        const auto* bitmap = reinterpret_cast<const BITMAPINFOHEADER*>(image);
        EXPECT_EQ(bitmap->biWidth, size);
        EXPECT_EQ(bitmap->biHeight, 2 * size);  // colours and mask
        EXPECT_EQ(bitmap->biBitCount, 4);
        HICON icon = CreateIconFromResourceEx(const_cast<std::uint8_t*>(image), imageSize, TRUE, 0x00030000, size, size, 0);
        EXPECT_NE(icon, nullptr) << "image " << id << " is not a usable icon";
        if (icon) DestroyIcon(icon);
    }

    const auto [manifest, manifestSize] = resource(1, 24);  // RT_MANIFEST
    ASSERT_NE(manifest, nullptr);
    const std::string text(reinterpret_cast<const char*>(manifest), manifestSize);
    EXPECT_NE(text.find("PerMonitorV2"), std::string::npos);
    EXPECT_NE(text.find("true/pm"), std::string::npos);
    // The program's own architecture, and Common Controls 6 for whichever it is: a 64-bit process
    // whose manifest asks for the x86 one gets the old controls, or no start at all.
    const std::string version = std::to_string(KAVLO_VERSION_MAJOR) + "." + std::to_string(KAVLO_VERSION_MINOR) + "." +
                                std::to_string(KAVLO_VERSION_PATCH) + "." + std::to_string(KAVLO_VERSION_BUILD);
    EXPECT_NE(text.find("name=\"Kavlo.IPFinder\" version=\"" + version + "\" processorArchitecture=\"" + gManifestArch + "\""),
              std::string::npos);
    const std::size_t controls = text.find("name=\"Microsoft.Windows.Common-Controls\"");
    ASSERT_NE(controls, std::string::npos);
    const std::string dependency = text.substr(controls, text.find("/>", controls) - controls);
    EXPECT_NE(dependency.find("processorArchitecture=\"*\""), std::string::npos) << dependency;
    FreeLibrary(module);
}

}  // namespace

int main(int argc, char** argv) {
    // Coordinates in physical pixels, like the program's own.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    ::testing::InitGoogleTest(&argc, argv);
    gProgram = programPath();
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        const auto value = [&](std::string_view option) { return arg.substr(option.size()); };
        if (arg.rfind("--expect-dpi=", 0) == 0) gExpectedDpi = static_cast<UINT>(std::atoi(argv[i] + 13));
        if (arg.rfind("--program=", 0) == 0) {
            const std::string_view path = value("--program=");
            gProgram.assign(path.begin(), path.end());
            if (path.find_first_of("\\/") == std::string_view::npos) gProgram = besideThis(gProgram.c_str());
        }
        if (arg == "--legacy") gLegacy = true;
        if (arg.rfind("--manifest-arch=", 0) == 0) gManifestArch = value("--manifest-arch=");
    }
    return RUN_ALL_TESTS();
}
