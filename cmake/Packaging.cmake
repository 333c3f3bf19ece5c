# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package, built by scripts/package.sh from the release preset with CPack's DEB
# generator: the install layout under /usr, shared-library dependencies from dpkg-shlibdeps,
# and the QML modules, plugins and Qt's own translations (the Open dialog's texts) that the
# window loads at run time, which no linker sees.

# Installing for a package builds only what is installed, not the test suite.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(PRESSEL_DOC_SUBDIR ${CMAKE_INSTALL_DATADIR}/doc/pressel)
install(FILES ${PROJECT_SOURCE_DIR}/data/debian/copyright DESTINATION ${PRESSEL_DOC_SUBDIR})
# mozjpeg's cjpeg carries its own libjpeg by design: its encoder is what Debian's lacks.
install(FILES ${PROJECT_SOURCE_DIR}/data/debian/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME pressel)

# Whoever builds the package is its maintainer: the control field and the changelog's signature.
# The default is the packager's Debian identity (DEBFULLNAME and DEBEMAIL, read at the first
# configure); without one, a placeholder under the reserved .invalid domain, which reaches no one.
if(NOT "$ENV{DEBFULLNAME}" STREQUAL "" AND NOT "$ENV{DEBEMAIL}" STREQUAL "")
    set(PRESSEL_DEFAULT_MAINTAINER "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
else()
    set(PRESSEL_DEFAULT_MAINTAINER "Unnamed packager <packager@pressel.invalid>")
endif()
set(PRESSEL_PACKAGE_MAINTAINER "${PRESSEL_DEFAULT_MAINTAINER}" CACHE STRING
    "The Debian package's maintainer, as \"Name <address>\"")

# Debian keeps a package's changelog compressed, without a time stamp in the gzip header.
configure_file(${PROJECT_SOURCE_DIR}/data/debian/changelog.in ${CMAKE_BINARY_DIR}/changelog @ONLY)
set(PRESSEL_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_command(
    OUTPUT ${PRESSEL_CHANGELOG_GZ}
    COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/changelog > ${PRESSEL_CHANGELOG_GZ}
    DEPENDS ${CMAKE_BINARY_DIR}/changelog)
add_custom_target(pressel_changelog ALL DEPENDS ${PRESSEL_CHANGELOG_GZ})
install(FILES ${PRESSEL_CHANGELOG_GZ} DESTINATION ${PRESSEL_DOC_SUBDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pressel)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "makes JPEG and PNG photos smaller")
# CPack puts the summary first and indents these lines itself; an empty line becomes " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Pressel re-encodes the JPEG and PNG files dropped on its window, or opened
with it from the file manager, with mozjpeg's cjpeg and pngquant, and writes
each result as a new file beside its source. The source is never touched,
and an output that is not smaller is deleted again.

pressel-cli does the same from the command line.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PRESSEL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qml6-module-qtquick, qml6-module-qtquick-controls, qml6-module-qtquick-templates, \
qml6-module-qtquick-layouts, qml6-module-qtquick-window, qml6-module-qtquick-dialogs, \
qml6-module-qt-labs-folderlistmodel, qml6-module-qtqml-workerscript, libqt6svg6, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, qt6-image-formats-plugins")
# Nautilus shows its "Compress with Pressel" entry only through nautilus-python.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS python3-nautilus)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
