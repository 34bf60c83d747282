// Screen DPI on every Windows from XP SP3 on. The per-monitor functions of Windows 10 1607 (and
// GetDpiForMonitor of 8.1) are looked up at run time; where they are missing, the old calls stand in,
// exact at the system DPI, which is then the only DPI there is.
#pragma once

#include "handles.h"

#include <windows.h>

namespace kavlo {

class Dpi {
public:
    enum class Lookups { Resolve, FindNothing };
#ifdef KAVLO_LEGACY_LOOKUPS
    // A test build: every newer function is "missing", so that the fallbacks run under any Windows.
    static constexpr Lookups kDefaultLookups = Lookups::FindNothing;
#else
    static constexpr Lookups kDefaultLookups = Lookups::Resolve;
#endif

    explicit Dpi(Lookups lookups = kDefaultLookups) noexcept;

    // The DPI of the window's monitor, or the system DPI where Windows has only that.
    [[nodiscard]] UINT forWindow(HWND window) const noexcept;
    [[nodiscard]] UINT forSystem() const noexcept;
    // GetSystemMetrics(index) as at `dpi`.
    [[nodiscard]] int systemMetric(int index, UINT dpi) const noexcept;
    // The window rectangle around `client` for the given styles at `dpi`.
    [[nodiscard]] RECT windowRect(RECT client, DWORD style, DWORD exStyle, UINT dpi) const noexcept;
    // The message font at `dpi`, made smaller where need be so that a line of it is at most
    // `maxLineHeight` pixels tall (a large accessibility text size); null if there is none.
    [[nodiscard]] FontPtr messageFont(UINT dpi, int maxLineHeight) const noexcept;

private:
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    using GetDpiForSystemFn = UINT(WINAPI*)();
    using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
    using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);

    [[nodiscard]] bool messageFontAt(UINT dpi, LOGFONTW& font) const noexcept;

    GetDpiForWindowFn getDpiForWindow_ = nullptr;
    GetDpiForSystemFn getDpiForSystem_ = nullptr;
    GetDpiForMonitorFn getDpiForMonitor_ = nullptr;
    GetSystemMetricsForDpiFn getSystemMetricsForDpi_ = nullptr;
    AdjustWindowRectExForDpiFn adjustWindowRectExForDpi_ = nullptr;
    SystemParametersInfoForDpiFn systemParametersInfoForDpi_ = nullptr;
    ModulePtr shcore_;
    bool beforeVista_ = false;
};

}  // namespace kavlo
