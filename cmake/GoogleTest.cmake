# GoogleTest from the sources Debian ships, so that the host and the MinGW build use one version.
set(KAVLO_GOOGLETEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${KAVLO_GOOGLETEST_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${KAVLO_GOOGLETEST_DIR}: run scripts/setup.sh")
endif()

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
if(WIN32)
    # Windows' own threading primitives; no winpthread in the test programs.
    set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
endif()
add_subdirectory(${KAVLO_GOOGLETEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
if(WIN32)
    target_link_options(gtest PUBLIC -static -static-libgcc -static-libstdc++)
endif()
