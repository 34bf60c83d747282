#include "ip_finder.h"

#include <algorithm>

namespace kavlo {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows text is UTF-16");

constexpr wchar_t kClassName[] = L"KavloIPFinder";
constexpr wchar_t kCaption[] = L"Kavlo IP Finder";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;  // fixed frame, no min/max boxes
constexpr DWORD kExStyle = WS_EX_APPWINDOW;
constexpr int kIconId = 1;
// Posted when focus enters a text box; see onCommand.
constexpr UINT kRestoreDefaultButton = WM_APP + 1;

int toPixels(int twips, UINT dpi) noexcept { return MulDiv(twips, static_cast<int>(dpi), 1440); }

struct KindTraits {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

KindTraits traitsOf(ControlKind kind) noexcept {
    switch (kind) {
        case ControlKind::Label: return {L"STATIC", SS_LEFT, 0};
        case ControlKind::TextBox: return {L"EDIT", WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
        case ControlKind::Button: return {L"BUTTON", WS_TABSTOP, 0};
    }
    return {L"STATIC", 0, 0};
}

IconPtr loadIcon(HINSTANCE instance, int size) noexcept {
    return IconPtr(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON, size, size, 0)));
}

}  // namespace

bool IPFinder::create(HINSTANCE instance, int showCommand) noexcept {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &IPFinder::windowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassExW(&windowClass)) return false;

    // Created hidden and without a size: it is sized and centred below, once it knows its DPI.
    if (!CreateWindowExW(kExStyle, kClassName, kCaption, kStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr,
                         nullptr, instance, this)) {
        return false;
    }
    // The monitor the window is on gives both its DPI and the work area to centre it in.
    const UINT dpi = dpi_.forWindow(hwnd());
    loadIcons(dpi);
    const SIZE frame = frameSize(dpi);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(hwnd(), MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& area = monitor.rcWork;
    SetWindowPos(hwnd(), nullptr, area.left + (area.right - area.left - frame.cx) / 2,
                 area.top + (area.bottom - area.top - frame.cy) / 2, frame.cx, frame.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(hwnd(), showCommand);
    UpdateWindow(hwnd());
    return true;
}

LRESULT CALLBACK IPFinder::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<IPFinder*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_.reset(window);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<IPFinder*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        static_cast<void>(self->window_.release());  // already being destroyed
        PostQuitMessage(0);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->handleMessage(message, wParam, lParam);
}

LRESULT IPFinder::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_CREATE:
            return onCreate() ? 0 : -1;
        case WM_COMMAND:
            onCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_ACTIVATE:
            onActivate(LOWORD(wParam) != WA_INACTIVE, HIWORD(wParam) != 0);
            return 0;
        case WM_CTLCOLORSTATIC:
            return onCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case kRestoreDefaultButton:
            SendMessageW(control(Control::cmdCalculate), BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
            return 0;
        case DM_GETDEFID:  // how IsDialogMessage finds the button that Enter presses
            return MAKELRESULT(controlId(Control::cmdCalculate), DC_HASDEFID);
        case WM_GETDPISCALEDSIZE:
            *reinterpret_cast<SIZE*>(lParam) = frameSize(static_cast<UINT>(wParam));
            return TRUE;
        case WM_DPICHANGED:
            onDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        default:
            return DefWindowProcW(hwnd(), message, wParam, lParam);
    }
}

bool IPFinder::onCreate() noexcept {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd(), GWLP_HINSTANCE));
    for (const ControlSpec& spec : kControls) {
        const KindTraits traits = traitsOf(spec.kind);
        HWND child = CreateWindowExW(traits.exStyle, traits.className, spec.caption.data(),
                                     WS_CHILD | WS_VISIBLE | traits.style | spec.style, 0, 0, 0, 0, hwnd(),
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId(spec.name))),
                                     instance, nullptr);
        if (!child) return false;
        if (spec.maxLength > 0) SendMessageW(child, EM_LIMITTEXT, static_cast<WPARAM>(spec.maxLength), 0);
        controls_[static_cast<std::size_t>(spec.name)] = child;
    }
    applyDpi(dpi_.forWindow(hwnd()));
    return true;
}

void IPFinder::onCommand(int id, int notification) noexcept {
    if (id == controlId(Control::cmdCalculate) && notification == BN_CLICKED) {
        cmdCalculate_Click();
    } else if (notification == EN_SETFOCUS) {
        // Enter in a text box presses Calculate, so the button should look like the default. Some
        // dialog managers strip that look from a plain window's button after moving the focus, so
        // it is put back once the move is over.
        PostMessageW(hwnd(), kRestoreDefaultButton, 0, 0);
    }
}

void IPFinder::onActivate(bool active, bool minimized) noexcept {
    if (!active) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd(), focus)) focusWhenDeactivated_ = focus;
        return;
    }
    if (minimized) return;  // a minimized window keeps the focus off its controls
    SetFocus(focusWhenDeactivated_ ? focusWhenDeactivated_ : control(Control::txtHash));
}

LRESULT IPFinder::onCtlColorStatic(HDC dc, HWND child) noexcept {
    if (child != control(Control::txtIPPort)) {
        return DefWindowProcW(hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(child));
    }
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

void IPFinder::onDpiChanged(UINT dpi, const RECT& suggested) noexcept {
    SetWindowPos(hwnd(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    applyDpi(dpi);
    loadIcons(dpi);
}

void IPFinder::cmdCalculate_Click() noexcept { kavlo::cmdCalculate_Click(*this); }

std::u16string_view IPFinder::hashText() noexcept {
    HWND box = control(Control::txtHash);
    // The box holds at most 12 typed characters, but text set from outside may be of any length.
    const auto needed = static_cast<std::size_t>(GetWindowTextLengthW(box)) + 1;
    if (needed > hashCapacity_) {
        hashBuffer_.reset(static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, needed * sizeof(wchar_t))));
        hashCapacity_ = hashBuffer_ ? needed : 0;
        if (!hashBuffer_) return {};
    }
    const int copied = GetWindowTextW(box, hashBuffer_.get(), static_cast<int>(hashCapacity_));
    return {reinterpret_cast<const char16_t*>(hashBuffer_.get()), static_cast<std::size_t>(std::max(copied, 0))};
}

void IPFinder::replaceIPPortText(std::u16string_view text) noexcept {
    // Every answer of the decoder fits; SetWindowTextW wants it terminated.
    std::array<wchar_t, OutputText::capacity + 1> terminated{};
    const std::size_t size = std::min(text.size(), OutputText::capacity);
    std::copy_n(text.data(), size, terminated.data());
    SetWindowTextW(control(Control::txtIPPort), terminated.data());
}

void IPFinder::applyDpi(UINT dpi) noexcept {
    // The text boxes are the tightest fit: their height inside the sunken edge.
    const TwipsRect& box = kControls[static_cast<std::size_t>(Control::txtHash)].twips;
    FontPtr font = dpi_.messageFont(dpi, toPixels(box.height, dpi) - 2 * dpi_.systemMetric(SM_CYEDGE, dpi));
    for (const ControlSpec& spec : kControls) {
        HWND child = control(spec.name);
        MoveWindow(child, toPixels(spec.twips.left, dpi), toPixels(spec.twips.top, dpi),
                   toPixels(spec.twips.width, dpi), toPixels(spec.twips.height, dpi), TRUE);
        if (font) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    }
    // The controls now use the new font, so the old one can go.
    if (font) font_ = std::move(font);
}

void IPFinder::loadIcons(UINT dpi) noexcept {
    // The caption, the task bar and Alt+Tab show these, at the sizes of the window's DPI.
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd(), GWLP_HINSTANCE));
    IconPtr big = loadIcon(instance, dpi_.systemMetric(SM_CXICON, dpi));
    IconPtr little = loadIcon(instance, dpi_.systemMetric(SM_CXSMICON, dpi));
    if (big) SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
    if (little) SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(little.get()));
    // The window now shows the new ones, so the old ones can go.
    if (big) bigIcon_ = std::move(big);
    if (little) smallIcon_ = std::move(little);
}

SIZE IPFinder::frameSize(UINT dpi) const noexcept {
    const RECT frame = dpi_.windowRect({0, 0, toPixels(kClientWidthTwips, dpi), toPixels(kClientHeightTwips, dpi)},
                                       kStyle, kExStyle, dpi);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

}  // namespace kavlo
