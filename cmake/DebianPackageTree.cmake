# Run by cpack on the staged tree, just before it becomes the .deb: what
# Debian's policy asks of a package and "cmake --install" has no reason to
# do. Man pages are compressed (the installed tree keeps them plain, since
# man reads both), and the package's own copyright file and changelog go
# into /usr/share/doc/<package>.
set(_root ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
if(NOT IS_DIRECTORY ${_root})
  message(FATAL_ERROR "No staged tree at ${_root}")
endif()

file(GLOB _man_pages ${_root}/share/man/man*/*)
foreach(_page IN LISTS _man_pages)
  if(NOT _page MATCHES "\\.gz$")
    # -n: no name or time stamp inside, so the same page packs the same.
    execute_process(COMMAND gzip -9nf ${_page} RESULT_VARIABLE _failed)
    if(_failed)
      message(FATAL_ERROR "gzip ${_page} failed")
    endif()
  endif()
endforeach()

set(_doc ${_root}/share/doc/${CPACK_PACKAGE_NAME})
file(MAKE_DIRECTORY ${_doc})
file(COPY_FILE ${CPACK_TESSEL_COPYRIGHT_FILE} ${_doc}/copyright)
# A native package's changelog: one entry, for the version being packed.
string(TIMESTAMP _date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${_doc}/changelog
     "${CPACK_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium\n\n"
     "  * Release ${CPACK_PACKAGE_VERSION}.\n\n"
     " -- ${CPACK_PACKAGE_CONTACT}  ${_date}\n")
execute_process(COMMAND gzip -9nf ${_doc}/changelog RESULT_VARIABLE _failed)
if(_failed)
  message(FATAL_ERROR "gzip ${_doc}/changelog failed")
endif()
file(CHMOD_RECURSE ${_doc} FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
     DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                           WORLD_READ WORLD_EXECUTE)
