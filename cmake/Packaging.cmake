# "cpack -G DEB" in the build folder: one package holding what
# "cmake --install" puts under the prefix, installed under /usr. Its library
# dependencies are read from the programs by dpkg-shlibdeps, so they name
# exactly the Debian packages the build linked against.
set(CPACK_PACKAGE_NAME tessel-audio-player)
set(CPACK_PACKAGE_VENDOR "Tessel Programs")
# Debian wants a mail address of a real domain, never localhost.
set(CPACK_PACKAGE_CONTACT "Tessel Programs <packages@tessel-programs.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Gapless desktop audio player")
# Lines of at most 80 characters, as Debian's control files want them.
set(CPACK_PACKAGE_DESCRIPTION
    "A single-deck desktop audio player that plays whatever FFmpeg decodes,
gapless to the sample, reads and writes M3U and PLS playlists, and is driven
by keyboard and MPRIS2. Includes tessel-play, the same engine on the console.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Compressed man pages, the copyright file and the changelog, which Debian's
# policy (and lintian) ask of every package.
set(CPACK_TESSEL_COPYRIGHT_FILE ${CMAKE_SOURCE_DIR}/res/copyright)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/DebianPackageTree.cmake)
include(CPack)
