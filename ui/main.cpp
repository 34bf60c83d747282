#include "handles.h"
#include "ip_finder.h"

#include <commctrl.h>
#include <windows.h>

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

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
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
