# 32-bit Windows (PE32), the main product.
set(KAVLO_MINGW_TRIPLE i686-w64-mingw32)
set(KAVLO_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
