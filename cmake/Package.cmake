# The Debian package: cpack -G DEB in a build tree (scripts/package.sh makes a clean one).
# Its dependencies come from dpkg-shlibdeps over the installed programs and libChakraCore.so.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillbox)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zorvan")
set(CPACK_PACKAGE_CONTACT "Zorvan <quillbox@quillbox.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "JavaScript workbench for E programmers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # quillbox_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quillbox.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_INSTALL_PREFIX}/lib/quillbox)
# Not found by dpkg-shlibdeps: the editor's web engine process and resources, a font that shows
# the program's Chinese texts, and the opener of web pages and the test page.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6webenginecore6-bin")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, xdg-utils")
# The long description; CPack puts the summary above it as the synopsis and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quillbox is a desktop workbench for programmers who write in the E language
and call JavaScript from their E programs, typically a web site's own signing
or encryption functions.

Projects of ordered JavaScript modules are edited in the Ace editor, loaded
into a JScript-like engine or a ChakraCore engine, called, minified or
re-formatted, and turned into the E source and the E clipboard image that
call the same JavaScript. quillbox-cli does the same from the shell.")
include(CPack)
