# The manual pages, the AppStream metadata and the package's documents, and
# the Debian package made from everything installed: `cpack -G DEB` in a
# build folder gives clipora_VERSION_ARCH.deb installing into /usr.

# Compressed as Debian wants them: the most, and without a time stamp, so the
# same sources give the same bytes.
function(clipora_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND gzip -9nc ${source} > ${output}
    DEPENDS ${source} VERBATIM)
endfunction()

set(docs ${CMAKE_BINARY_DIR}/packagedocs)
file(MAKE_DIRECTORY ${docs})
clipora_gzip(${CMAKE_SOURCE_DIR}/data/man/clipora.1 ${docs}/clipora.1.gz)
clipora_gzip(${CMAKE_SOURCE_DIR}/data/man/clipora-cli.1 ${docs}/clipora-cli.1.gz)
clipora_gzip(${CMAKE_SOURCE_DIR}/data/debian/changelog ${docs}/changelog.gz)
add_custom_target(clipora_packagedocs ALL
  DEPENDS ${docs}/clipora.1.gz ${docs}/clipora-cli.1.gz ${docs}/changelog.gz)

install(FILES ${docs}/clipora.1.gz ${docs}/clipora-cli.1.gz DESTINATION share/man/man1)
install(FILES ${CMAKE_SOURCE_DIR}/data/example.clipora.Clipora.metainfo.xml DESTINATION share/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/data/debian/copyright ${docs}/changelog.gz DESTINATION share/doc/clipora)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME clipora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR ZELVANO)
set(CPACK_PACKAGE_CONTACT "Clipora maintainers <maintainers@clipora.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cut an exact rectangle out of a picture and save it")
set(CPACK_PACKAGE_DESCRIPTION
  "Clipora shows a picture at 1:1 with rulers and cuts a rectangle marked on it
to the pixel, saving it as BMP, JPEG, GIF or PNG. It also resizes, rotates,
flips, pastes and copies pictures. Its interface is Japanese.
The companion program clipora-cli crops, converts, resizes and rotates many
files at once from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://clipora.example/)
# The libraries the programs need, as dpkg-shlibdeps finds them in the binaries.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
