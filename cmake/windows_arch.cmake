# What differs between the 32-bit and the 64-bit Windows build: names, the manifest's architecture,
# the PE machine the tests expect, the oldest Windows it starts on, the linker flags that exist for
# one of them only, and how a C function's name looks to the linker.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(KAVLO_ARCH win32)
    set(KAVLO_MANIFEST_ARCH x86)
    set(KAVLO_PE_MACHINE i386)
    set(KAVLO_WINDOWS_FLOOR 5.1)  # Windows XP
    # 4 GiB of address space under 64-bit Windows instead of 2; and no SEH handlers at all, which
    # the header says (NO_SEH) so that Windows need not trust a handler table (SafeSEH).
    set(KAVLO_ARCH_LINK_OPTIONS -Wl,--large-address-aware -Wl,--no-seh)
    set(KAVLO_SYMBOL_PREFIX _)
    # GCC's unwind tables (.eh_frame) serve only exceptions, which nothing shipped throws: 5 KB of
    # the console program. 64-bit Windows's own unwind data stays.
    set(KAVLO_ARCH_COMPILE_OPTIONS -fno-asynchronous-unwind-tables -fno-unwind-tables)
else()
    set(KAVLO_ARCH win64)
    set(KAVLO_MANIFEST_ARCH amd64)
    set(KAVLO_PE_MACHINE amd64)
    set(KAVLO_WINDOWS_FLOOR 5.2)  # Windows XP x64 and Server 2003, the first x64 Windows
    set(KAVLO_ARCH_LINK_OPTIONS -Wl,--high-entropy-va)
    set(KAVLO_SYMBOL_PREFIX "")
endif()
