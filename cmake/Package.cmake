# The Debian package: `cpack -G DEB` in a build folder (scripts/package.sh makes a Release one)
# gives corvane_<version>_<arch>.deb with the "system" layout of cmake/Install.cmake.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CORVANE_PACKAGE_MAINTAINER "Corvane maintainers <maintainers@corvane.invalid>"
    CACHE STRING "Maintainer field of the Debian package: name <address>")
set(CPACK_PACKAGE_CONTACT "${CORVANE_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "watches the public IP address and reports each change")
# Without it CPack would fall back on its own generic sample text.
set(CPACK_PACKAGE_DESCRIPTION "\
Corvane asks a small page on the owner's web host which address the machine comes from, at a
chosen interval. When the answer changes it raises an alarm in its window, logs the change,
mails the new address to up to ten people through its own SMTP client (STARTTLS or TLS) and
uploads a PHP page holding it by FTP, FTPS or SFTP. It also runs without a window as a systemd
user service (corvane.service).")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)

# Only the system component, into /usr.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};system;/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The libraries the binary links come from dpkg-shlibdeps. What it cannot see: the Qt plugins
# loaded at run time (the X11 platform, image formats, the OpenSSL TLS backend) ship inside
# libqt6gui6 and libqt6network6, which it does find; the certificate store that TLS checks
# servers against (mail, FTPS, HTTPS detection) is data, so it is named here, and Qt SQL's
# SQLite driver, a plugin of its own package, holds the change history.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ca-certificates, libqt6sql6-sqlite")
# Qt's own texts (the buttons of the message boxes) in French come from Qt's catalogues; the
# program's English is embedded in the binary. QtKeychain opens libsecret only when a keyring
# is used: without it the passwords stay in the settings file.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, libsecret-1-0")

include(CPack)
