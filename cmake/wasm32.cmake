# WebAssembly (wasm32) for the web page, with Debian's clang 14 and wasm-ld, with the headers of
# libc++ and the WASI C library; of the libraries only wasi-libc is linked (web/web.cmake), for the
# few functions the code calls, so that the module imports nothing.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)

set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_FLAGS_INIT "-isystem /usr/lib/llvm-14/include/wasm32-wasi/c++/v1 -isystem /usr/include/wasm32-wasi")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-nostdlib")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
