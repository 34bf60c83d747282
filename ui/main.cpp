#include "handles.h"
#include "ip_finder.h"

#include <commctrl.h>
#include <windows.h>

#include <iterator>
#include <string_view>

namespace {

// Common Controls, loaded here rather than imported: the loader resolves imports before the entry
// point has restricted where DLLs are looked for, and comctl32 is no KnownDLL. The manifest's
// dependency makes this load the version 6 of the side-by-side store, whose controls are themed.
// Without it the window still works, with the system's own classes.
kavlo::ModulePtr loadCommonControls() noexcept {
    kavlo::ModulePtr comctl32(LoadLibraryW(L"comctl32.dll"));
    if (!comctl32) return comctl32;
    using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    const auto initCommonControlsEx = reinterpret_cast<InitCommonControlsExFn>(
        reinterpret_cast<void*>(GetProcAddress(comctl32.get(), "InitCommonControlsEx")));
    const INITCOMMONCONTROLSEX commonControls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
    if (initCommonControlsEx) initCommonControlsEx(&commonControls);
    return comctl32;
}

// The DLLs that the system's own load by name once the window runs (Wine's uxtheme delay-loads
// msimg32, its user32 and gdi32 ole32, combase and rpcrt4). Where Windows cannot restrict the
// search to the system folder (XP, Vista, and 7 without KB2533623), the exe's folder is searched
// first for them; loaded first, by full path, they are never looked for again (as 7-Zip does).
constexpr std::wstring_view kLoadedLater[] = {L"msimg32.dll", L"ole32.dll", L"combase.dll", L"rpcrt4.dll"};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    kavlo::ModulePtr loadedLater[std::size(kLoadedLater)];
    for (std::size_t i = 0; i < std::size(kLoadedLater); ++i) loadedLater[i] = kavlo::loadSystemDll(kLoadedLater[i]);
    // Kept loaded for as long as the window's controls live.
    const kavlo::ModulePtr commonControls = loadCommonControls();

    kavlo::IPFinder window;
    if (!window.create(instance, showCommand)) return 1;

    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(window.hwnd(), &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}
