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

FontPtr messageFont(UINT dpi) noexcept {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) return {};
    return FontPtr(CreateFontIndirectW(&metrics.lfMessageFont));
}

IconPtr loadIcon(HINSTANCE instance, int metric, UINT dpi) noexcept {
    const int size = GetSystemMetricsForDpi(metric, dpi);
    return IconPtr(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON, size, size, 0)));
}

}  // namespace

bool IPFinder::create(HINSTANCE instance, int showCommand) noexcept {
    // The class's icons, which the caption, the task bar and Alt+Tab show.
    const UINT systemDpi = GetDpiForSystem();
    bigIcon_ = loadIcon(instance, SM_CXICON, systemDpi);
    smallIcon_ = loadIcon(instance, SM_CXSMICON, systemDpi);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &IPFinder::windowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = bigIcon_.get();
    windowClass.hIconSm = smallIcon_.get();
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassExW(&windowClass)) return false;

    // Created hidden and without a size: it is sized and centred below, once it knows its DPI.
    if (!CreateWindowExW(kExStyle, kClassName, kCaption, kStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr,
                         nullptr, instance, this)) {
        return false;
    }
    const SIZE frame = frameSize(GetDpiForWindow(hwnd()));
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(hwnd(), MONITOR_DEFAULTTOPRIMARY), &monitor);
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
            onActivate(LOWORD(wParam) != WA_INACTIVE);
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
    applyDpi(GetDpiForWindow(hwnd()));
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

void IPFinder::onActivate(bool active) noexcept {
    if (!active) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd(), focus)) focusWhenDeactivated_ = focus;
        return;
    }
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
    FontPtr font = messageFont(dpi);
    for (const ControlSpec& spec : kControls) {
        HWND child = control(spec.name);
        MoveWindow(child, toPixels(spec.twips.left, dpi), toPixels(spec.twips.top, dpi),
                   toPixels(spec.twips.width, dpi), toPixels(spec.twips.height, dpi), TRUE);
        if (font) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    }
    // The controls now use the new font, so the old one can go.
    if (font) font_ = std::move(font);
}

SIZE IPFinder::frameSize(UINT dpi) const noexcept {
    RECT frame{0, 0, toPixels(kClientWidthTwips, dpi), toPixels(kClientHeightTwips, dpi)};
    AdjustWindowRectExForDpi(&frame, kStyle, FALSE, kExStyle, dpi);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

}  // namespace kavlo
