// The program's one window.
#pragma once

#include "calculate.h"
#include "controls.h"
#include "dpi.h"
#include "handles.h"

#include <windows.h>

#include <array>

namespace kavlo {

class IPFinder final : public CalculateHost {
public:
    IPFinder() = default;
    IPFinder(const IPFinder&) = delete;
    IPFinder& operator=(const IPFinder&) = delete;
    ~IPFinder() = default;

    // Creates the window with its controls, centred on its monitor, and shows it.
    bool create(HINSTANCE instance, int showCommand) noexcept;
    // Null once the window has been closed.
    [[nodiscard]] HWND hwnd() const noexcept { return window_.get(); }

    std::u16string_view hashText() noexcept override;
    void replaceIPPortText(std::u16string_view text) noexcept override;
    IPParts& ipPart() noexcept override { return ipPart_; }

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    bool onCreate() noexcept;
    void onCommand(int id, int notification) noexcept;
    void onActivate(bool active, bool minimized) noexcept;
    LRESULT onCtlColorStatic(HDC dc, HWND control) noexcept;
    void onDpiChanged(UINT dpi, const RECT& suggested) noexcept;

    void cmdCalculate_Click() noexcept;
    void applyDpi(UINT dpi) noexcept;
    void loadIcons(UINT dpi) noexcept;
    [[nodiscard]] SIZE frameSize(UINT dpi) const noexcept;
    [[nodiscard]] HWND control(Control name) const noexcept { return controls_[static_cast<std::size_t>(name)]; }

    Dpi dpi_;
    FontPtr font_;
    IconPtr bigIcon_;
    IconPtr smallIcon_;
    HWND focusWhenDeactivated_ = nullptr;
    HeapText hashBuffer_;
    std::size_t hashCapacity_ = 0;
    IPParts ipPart_{};
    std::array<HWND, kControls.size()> controls_{};  // children: destroyed with the window
    // Last, so that it is destroyed first, while the font and icons it uses are still there.
    WindowPtr window_;
};

}  // namespace kavlo
