// The first instructions of each exe, run before the C runtime's: they seed the stack protector's
// guard without loading any DLL, and then restrict where DLLs are looked for to the system folder,
// so that no DLL a name loads can come from beside the exe (a Downloads folder, say). The linker
// makes kavloWindowStart or kavloConsoleStart the entry point.
#include <windows.h>

#include <cstdint>
#include <x86intrin.h>

// The stack protector's names (GCC's), defined here rather than by libssp, whose guard is seeded
// by CryptoAPI, which loads its providers by name before the program's first instruction.
extern "C" {
// Read on entry to and before the return of every protected function. Not zero even before it is
// seeded, which is before any protected function runs.
std::uintptr_t __stack_chk_guard =  // NOLINT(bugprone-reserved-identifier)
    sizeof(std::uintptr_t) == 8 ? static_cast<std::uintptr_t>(0x2B992DDFA232ULL) : 0xBB40E64EU;

// A protected function found its frame overwritten: end at once, as Windows' own runtimes do.
[[noreturn]] void __stack_chk_fail() {  // NOLINT(bugprone-reserved-identifier)
    TerminateProcess(GetCurrentProcess(), 0xC0000409);  // STATUS_STACK_BUFFER_OVERRUN
    __builtin_unreachable();
}

int WinMainCRTStartup();  // the C runtime's entries (crt2u.o)
int mainCRTStartup();
}

namespace {

// What Microsoft's C runtime mixes into its guard: the time, a counter, the process and thread,
// the tick count; here with the time-stamp counter, and where the stack is (ASLR). Nothing of it
// loads a DLL. No stack protector here: it changes the guard that protector would check.
__attribute__((no_stack_protector)) std::uintptr_t guardSeed() noexcept {
    FILETIME time{};
    GetSystemTimeAsFileTime(&time);
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    std::uint64_t seed = (std::uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime) ^
                         static_cast<std::uint64_t>(counter.QuadPart) << 16 ^ __rdtsc() ^
                         std::uint64_t{GetCurrentProcessId()} << 32 ^ GetCurrentThreadId() ^
                         std::uint64_t{GetTickCount()} << 24 ^ reinterpret_cast<std::uintptr_t>(&time);
    if constexpr (sizeof(std::uintptr_t) < sizeof(seed)) seed ^= seed >> 32;
    return static_cast<std::uintptr_t>(seed);
}

__attribute__((no_stack_protector)) void startSafely() noexcept {
    if (const std::uintptr_t seed = guardSeed(); seed != 0) __stack_chk_guard = seed;

    // Windows 8 and later, and Vista or 7 with KB2533623: the system folder only. Looked up, so
    // that the exe still starts on XP.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    SetDefaultDllDirectoriesFn setDefaultDllDirectories = nullptr;
#ifndef KAVLO_LEGACY_LOOKUPS  // the legacy test build finds no newer function
    setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
#endif
    if (setDefaultDllDirectories && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
    // Before that: at least not the current folder (XP SP1 and later). The exe's own folder is
    // still searched first there.
    SetDllDirectoryW(L"");
}

}  // namespace

extern "C" __attribute__((no_stack_protector)) int kavloWindowStart() {
    startSafely();
    return WinMainCRTStartup();
}

extern "C" __attribute__((no_stack_protector)) int kavloConsoleStart() {
    startSafely();
    return mainCRTStartup();
}
