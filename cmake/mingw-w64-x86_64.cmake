# 64-bit Windows (PE32+).
set(KAVLO_MINGW_TRIPLE x86_64-w64-mingw32)
set(KAVLO_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
