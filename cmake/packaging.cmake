# The Debian package, built by CPack (scripts/package.sh): both programs, the menu entry, icons,
# AppStream description, archive MIME type, manual pages, bash completion, copyright and
# changelog under /usr, with the Qt libraries it links as dependencies.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Quorvane)
set(CPACK_PACKAGE_CONTACT "TARVIX developers <tarvix@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The summary above is the first line; CPack indents these. Lines stay within 79 columns
# once indented, as lintian asks.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "TARVIX shows the folders of one Fallout 1 or Fallout 2 DAT archive as a tree,
lists the files of the selected folder and extracts the selected files into
a folder of your choice. It never changes or writes an archive.
The tarvix-cli command lists, extracts, checks and sums up archives from
scripts, with the same code as the window.
The tarvix-mount command shows an archive as a read-only folder (FUSE).")
# What Debian asks of every package in /usr/share/doc/tarvix: the licences in the
# machine-readable copyright format and the changelog, compressed. cmake --install puts them
# there too.
if(NOT WIN32)
    include(GNUInstallDirs)
    include(${CMAKE_CURRENT_LIST_DIR}/gzip.cmake)
    tarvix_gzip(debian_changelog ${PROJECT_SOURCE_DIR}/packaging/debian/changelog)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${debian_changelog_FILES}
            DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

# dpkg-shlibdeps names the packages of the libraries the binary links (Qt 6, libstdc++).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# tarvix-mount links libfuse 3 (found above) and needs fusermount3 to mount as a user.
if(TARGET tarvix-mount)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "fuse3")
endif()

include(CPack)
