# kavlo-ipfinder on Linux: its manual page, and a Debian package of the build (cpack -G DEB in the
# build folder). Debian's rules want the page and the changelog compressed, the same bytes from the
# same sources, and a copyright file; lintian judges the package.
# SOURCE_DATE_EPOCH is the release's clock, set for the manual's date (CMakeLists.txt).
string(TIMESTAMP KAVLO_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(packaging/debian/changelog.in changelog @ONLY)
add_custom_command(OUTPUT changelog.gz COMMAND gzip -9n -c changelog > changelog.gz DEPENDS ${CMAKE_BINARY_DIR}/changelog)
# The manual page, made of its template and the option table.
add_custom_command(OUTPUT kavlo-ipfinder.1.gz COMMAND gzip -9n -c ${pages}/kavlo-ipfinder.1 > kavlo-ipfinder.1.gz
                   DEPENDS ${pages}/made)
add_custom_target(package_pages ALL DEPENDS kavlo-ipfinder.1.gz changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/kavlo-ipfinder.1.gz DESTINATION share/man/man1)
set(doc share/doc/kavlo-ipfinder)
install(FILES packaging/debian/copyright ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${doc})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kavlo-ipfinder)
set(CPACK_PACKAGE_VERSION ${KAVLO_VERSION_TEXT})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Kavlo <packages@kavlo.example.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# bash reads the completion only with bash-completion, which a minimal system lacks.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS bash-completion)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://kavlo.example.invalid/ip-finder)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "decode user hash numbers into IPv4 addresses and ports")
set(CPACK_PACKAGE_DESCRIPTION "A user hash number is twelve hexadecimal digits that encode an IPv4
address, last octet first, and a port. kavlo-ipfinder decodes them from
arguments, standard input and files, finds and decodes every one in any
text such as a log, writes JSON Lines for scripts, and makes the hash of
an address and port.")
include(CPack)
