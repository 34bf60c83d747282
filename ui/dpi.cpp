#include "dpi.h"

#include <cstddef>
#include <cstdlib>
#include <string_view>

namespace kavlo {
namespace {

template <typename Function>
Function lookUp(HMODULE module, const char* name, Dpi::Lookups lookups) noexcept {
    if (!module || lookups == Dpi::Lookups::FindNothing) return nullptr;
    // GetProcAddress returns a generic function pointer; the caller names the real type.
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

constexpr int kMonitorEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
// NONCLIENTMETRICSW as Windows XP knows it: everything before iPaddedBorderWidth.
constexpr UINT kXpNonClientMetricsSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
static_assert(kXpNonClientMetricsSize == 500, "the size Windows XP checks for");

}  // namespace

Dpi::Dpi(Lookups lookups) noexcept {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    getDpiForWindow_ = lookUp<GetDpiForWindowFn>(user32, "GetDpiForWindow", lookups);
    getDpiForSystem_ = lookUp<GetDpiForSystemFn>(user32, "GetDpiForSystem", lookups);
    getSystemMetricsForDpi_ = lookUp<GetSystemMetricsForDpiFn>(user32, "GetSystemMetricsForDpi", lookups);
    adjustWindowRectExForDpi_ = lookUp<AdjustWindowRectExForDpiFn>(user32, "AdjustWindowRectExForDpi", lookups);
    systemParametersInfoForDpi_ =
        lookUp<SystemParametersInfoForDpiFn>(user32, "SystemParametersInfoForDpi", lookups);
    // Windows 8.1 has per-monitor DPI, but only through shcore.
    if (!getDpiForWindow_ && lookups == Lookups::Resolve) {
        constexpr std::wstring_view kShcore = L"shcore.dll";  // before Windows 8.1 there is none
        shcore_ = loadSystemDll(kShcore);
        getDpiForMonitor_ = lookUp<GetDpiForMonitorFn>(shcore_.get(), "GetDpiForMonitor", lookups);
    }
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    beforeVista_ = GetVersionExW(&version) && version.dwMajorVersion < 6;
}

UINT Dpi::forWindow(HWND window) const noexcept {
    if (getDpiForWindow_) return getDpiForWindow_(window);
    UINT x = 0;
    UINT y = 0;
    if (getDpiForMonitor_ &&
        getDpiForMonitor_(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), kMonitorEffectiveDpi, &x, &y) == S_OK) {
        return y;
    }
    return forSystem();
}

UINT Dpi::forSystem() const noexcept {
    if (getDpiForSystem_) return getDpiForSystem_();
    const ScreenDc screen;
    const int dpi = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

int Dpi::systemMetric(int index, UINT dpi) const noexcept {
    if (getSystemMetricsForDpi_) return getSystemMetricsForDpi_(index, dpi);
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(forSystem()));
}

RECT Dpi::windowRect(RECT client, DWORD style, DWORD exStyle, UINT dpi) const noexcept {
    if (adjustWindowRectExForDpi_) {
        adjustWindowRectExForDpi_(&client, style, FALSE, exStyle, dpi);
    } else {
        AdjustWindowRectEx(&client, style, FALSE, exStyle);
    }
    return client;
}

bool Dpi::messageFontAt(UINT dpi, LOGFONTW& font) const noexcept {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (systemParametersInfoForDpi_) {
        if (!systemParametersInfoForDpi_(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0, dpi)) return false;
        font = metrics.lfMessageFont;
        return true;
    }
    // Before Vista the structure ends before iPaddedBorderWidth, and a larger size fails the call.
    if (beforeVista_) metrics.cbSize = kXpNonClientMetricsSize;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0)) return false;
    font = metrics.lfMessageFont;
    font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(forSystem()));
    return true;
}

FontPtr Dpi::messageFont(UINT dpi, int maxLineHeight) const noexcept {
    LOGFONTW logFont{};
    if (!messageFontAt(dpi, logFont)) return {};
    FontPtr font(CreateFontIndirectW(&logFont));
    const ScreenDc screen;
    while (font && screen.get()) {
        const HGDIOBJ previous = SelectObject(screen.get(), font.get());
        TEXTMETRICW metrics{};
        const bool measured = GetTextMetricsW(screen.get(), &metrics) != 0;
        SelectObject(screen.get(), previous);
        if (!measured || metrics.tmHeight <= maxLineHeight || std::abs(logFont.lfHeight) <= 1) break;
        // A pixel smaller at a time: the first that fits is the largest that does. The sign of
        // lfHeight (cell or character height) is kept.
        logFont.lfHeight += logFont.lfHeight < 0 ? 1 : -1;
        font.reset(CreateFontIndirectW(&logFont));
    }
    return font;
}

}  // namespace kavlo
