# The Debian package: pelmo, its manual page, the README and the demo with its
# pack source, built by `cpack -G DEB` from a Release build (scripts/package.sh).
set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/pelmo)
install(FILES README.md DESTINATION ${doc_dir})
install(FILES examples/README.md DESTINATION ${doc_dir}/examples)
# The demo package ships readme.txt read-only, which git does not keep.
install(DIRECTORY examples/package examples/machine examples/source DESTINATION ${doc_dir}/examples
        USE_SOURCE_PERMISSIONS
        PATTERN readme.txt PERMISSIONS OWNER_READ GROUP_READ WORLD_READ)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelmo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Pelmo developers <pelmo@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "upgrade wizard for an installed Japanese application system")
set(CPACK_PACKAGE_DESCRIPTION "Pelmo reads an upgrade package (info.txt, LHA archives, plain files, pictures),
finds the installed system in a Wine-style machine folder and installs the
package into it, as a Qt wizard or unattended. `pelmo check` checks a package.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Libraries give the dependencies; the dialog font and Qt's display plugins are
# loaded at run time, and Qt only recommends the plugins.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, qt6-qpa-plugins")
include(CPack)
