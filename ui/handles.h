// Owners for the window-system handles the program creates.
#pragma once

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string_view>

namespace kavlo {

struct WindowDeleter {
    void operator()(HWND window) const noexcept { DestroyWindow(window); }
};
struct FontDeleter {
    void operator()(HFONT font) const noexcept { DeleteObject(font); }
};
struct IconDeleter {
    void operator()(HICON icon) const noexcept { DestroyIcon(icon); }
};
struct ModuleDeleter {
    void operator()(HMODULE module) const noexcept { FreeLibrary(module); }
};
struct HeapDeleter {
    void operator()(void* block) const noexcept { HeapFree(GetProcessHeap(), 0, block); }
};

using WindowPtr = std::unique_ptr<HWND__, WindowDeleter>;
using FontPtr = std::unique_ptr<HFONT__, FontDeleter>;
using IconPtr = std::unique_ptr<HICON__, IconDeleter>;
using ModulePtr = std::unique_ptr<HINSTANCE__, ModuleDeleter>;
// Process-heap memory: no exceptions, so none of the C++ runtime's throwing machinery is linked in.
using HeapText = std::unique_ptr<wchar_t[], HeapDeleter>;

// The DLL of this name from the system folder, never one beside the exe or in the current folder;
// its own dependencies are looked for from there too. Empty if the system has none.
inline ModulePtr loadSystemDll(std::wstring_view name) noexcept {
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + 1 + name.size() >= MAX_PATH) return {};
    path[length] = L'\\';
    std::copy(name.begin(), name.end(), path + length + 1);
    path[length + 1 + name.size()] = L'\0';
    return ModulePtr(LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

// The screen's device context, for as long as it is needed.
class ScreenDc {
public:
    ScreenDc() noexcept : dc_(GetDC(nullptr)) {}
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    ~ScreenDc() {
        if (dc_) ReleaseDC(nullptr, dc_);
    }
    [[nodiscard]] HDC get() const noexcept { return dc_; }

private:
    HDC dc_;
};

}  // namespace kavlo
