# The web edition: the decoder, the encoder and the hash finder as they are, with the page's
# exported layer (exports.cpp), one WebAssembly module that imports nothing, inlined into one
# self-contained page, KavloIPFinder-<version>.html. Its tests: the page in headless Chromium
# from file://, and the module against the native program in Node.js.
set(KAVLO_NATIVE_CLI "" CACHE FILEPATH "The native kavlo-ipfinder, the web tests' yardstick")

add_executable(kavlo_web web/exports.cpp ${core_sources})
target_include_directories(kavlo_web PRIVATE decoder)
# The C library's few functions that the code calls (memchr, memcmp, ...) from Debian's wasi-libc;
# none of them reaches the system, so the module still imports nothing.
target_link_libraries(kavlo_web PRIVATE kavlo_build /usr/lib/wasm32-wasi/libc.a)
# Small, with no exceptions; each memory copy one bulk-memory instruction and the finder's
# classification sixteen bytes at a time with SIMD128 (every browser has both since 2021);
# functions nothing calls are dropped at the link.
target_compile_options(kavlo_web PRIVATE -O2 -fno-exceptions -fno-rtti -mbulk-memory -msimd128 -fvisibility=hidden
                                         -ffunction-sections -fdata-sections)
target_link_options(kavlo_web PRIVATE -Wl,--no-entry,--strip-all,--gc-sections,-O2)
# The text reader's UTF-16 and mark handling, which only an opened file may need, and the page's
# layer, small rather than fast: the module stays under 13 KiB.
set_source_files_properties(decoder/lines.cpp decoder/text.cpp web/exports.cpp TARGET_DIRECTORY kavlo_web PROPERTIES COMPILE_OPTIONS -Os)
set_target_properties(kavlo_web PROPERTIES SUFFIX .wasm)

set(page ${CMAKE_BINARY_DIR}/KavloIPFinder-${KAVLO_VERSION_TEXT}.html)
add_custom_command(OUTPUT ${page}
                   COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/web/make_page.py ${CMAKE_SOURCE_DIR}/web
                           $<TARGET_FILE:kavlo_web> ${KAVLO_VERSION_TEXT} ${page}
                   DEPENDS kavlo_web web/page.html web/page.css web/page.js web/make_page.py decoder/calculate.h
                   COMMENT "Writing the page")
add_custom_target(web ALL DEPENDS ${page})

# In Chromium, the page as a person uses it, and axe's accessibility rules; in Node.js, the
# module's verdicts on random texts against the native program's.
add_test(NAME web_page COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/web_test.py ${page} ${KAVLO_NATIVE_CLI})
add_test(NAME web_verdicts COMMAND node ${CMAKE_SOURCE_DIR}/tests/web_verdicts.js $<TARGET_FILE:kavlo_web>
                                        ${KAVLO_NATIVE_CLI})
set_tests_properties(web_page web_verdicts PROPERTIES TIMEOUT 300)
