# What `cmake --install` puts where, and the Debian package made from it.
include(GNUInstallDirs)

# Debian wants documentation compressed, reproducibly (no name, no time stamp).
find_program(GZIP gzip REQUIRED)
set(DOC_OUT ${CMAKE_BINARY_DIR}/doc)
file(MAKE_DIRECTORY ${DOC_OUT})
set(COMPRESSED_DOCS)
foreach(doc quirn.1 changelog)
  add_custom_command(
    OUTPUT ${DOC_OUT}/${doc}.gz
    COMMAND ${GZIP} -9nc ${CMAKE_SOURCE_DIR}/data/${doc} > ${DOC_OUT}/${doc}.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/data/${doc})
  list(APPEND COMPRESSED_DOCS ${DOC_OUT}/${doc}.gz)
endforeach()
add_custom_target(compressed_docs ALL DEPENDS ${COMPRESSED_DOCS})

install(TARGETS quirn RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${DOC_OUT}/quirn.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES data/quirn.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/quirn.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES data/io.github.quirn.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY data/formats/ DESTINATION ${CMAKE_INSTALL_DATADIR}/quirn/formats
        FILES_MATCHING PATTERN "*.ksy")
install(FILES data/copyright ${DOC_OUT}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quirn)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The quirn developers <quirn@quirn.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "read-only hex viewer for files and disks of any size")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "quirn shows any file, block device or disk image as hexadecimal and
characters, 16 bytes a row, and moves through a 5-byte file and a 2 TiB
disk image alike at once. It keeps only a small window of the file in
memory and draws the whole page on the graphics processor with Vulkan.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "mesa-vulkan-drivers | vulkan-icd")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
