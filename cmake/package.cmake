# The Debian package, made by CPack from the install rules (cmake/install.cmake). scripts/package
# builds it and checks it; by hand, in a build configured with -DCMAKE_INSTALL_PREFIX=/usr (so
# that the library folder is Debian's multiarch one): cmake --build build --target package.
set(QS_PACKAGE_MAINTAINER "Quarrystream developers <quarrystream@example.org>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarrystream)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Quarrystream developers")
set(CPACK_PACKAGE_CONTACT "${QS_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "verify downloaded archive sets by SFV and unpack them")
# Installed into /usr through DESTDIR, whatever prefix the build was configured for, so that the
# install rules see the real prefix, which the service unit names.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # quarrystream_VERSION_ARCH.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QS_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies as dpkg-shlibdeps finds them in the binaries and the desktop module.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# mirrowen hands a RAR set that libarchive cannot read to unar.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS unar)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The long description: CPack puts the summary line above it and indents each line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quarrystream watches download folders for finished multi-volume archive
sets. It finds the SFV checksum files under every watched folder, checks
each listed volume by CRC-32 as it arrives, and when a set is complete
hands it to its companion program mirrowen, which unpacks it into the
destination folder, and runs a command of the user's choice.
.
It runs as a desktop program with an icon in the notification area, or
without a display as a systemd user service (quarrystream --headless).")

include(CPack)
