# Two layouts from one build, as two install components:
#
# "user", what `cmake --install build --prefix ~/.local` installs:
#   <prefix>/lib/corvane/                 the program folder: corvane, its libraries and
#                                         ip_check.php. The program keeps Corvane.cfg beside itself
#                                         and runs there while this folder is writable.
#   <prefix>/share/applications/corvane.desktop   the launcher, with absolute Exec and Icon
#   <prefix>/share/icons/hicolor/256x256/apps/corvane.png
# scripts/uninstall.sh removes exactly these files, from install_manifest.txt.
#
# "system", left out of a plain install and installed by CPack (cmake/Package.cmake) into /usr:
#   /usr/bin/corvane                      settings, log and pages then go to the XDG folders
#   /usr/lib/corvane/libcorvane_*.so      its own libraries: the core, the network library,
#                                         the windows and the modules loaded when first needed
#                                         (delivery, sound, keyring, history)
#   /usr/share/corvane/ip_check.php
#   /usr/share/applications/corvane.desktop       Exec=corvane, Icon=corvane
#   /usr/share/icons/hicolor/256x256/apps/corvane.png
#   /usr/lib/systemd/user/corvane.service

set(CORVANE_PROGRAM_SUBDIR lib/corvane)
set(CORVANE_ICON_SUBDIR share/icons/hicolor/256x256/apps)

# ---- user

# Checked before anything is copied: a prefix the launcher cannot name installs nothing.
install(CODE "
    # Characters that a launcher's Exec line would need escaped, or that break its key lines.
    if(CMAKE_INSTALL_PREFIX MATCHES \"[\\\"`$\\\\\\\\%\\n]\")
        message(FATAL_ERROR \"install prefix '\${CMAKE_INSTALL_PREFIX}' holds a character that a .desktop launcher cannot carry; choose another\")
    endif()
" COMPONENT user)

install(TARGETS corvane RUNTIME DESTINATION ${CORVANE_PROGRAM_SUBDIR} COMPONENT user)
install(TARGETS corvane_core corvane_reseau corvane_fenetre corvane_envoi corvane_son
    corvane_trousseau corvane_historique LIBRARY DESTINATION ${CORVANE_PROGRAM_SUBDIR}
        COMPONENT user)
# The detection script the owner copies to his web host, where the help text says it is.
install(FILES ${PROJECT_SOURCE_DIR}/resources/ip_check.php DESTINATION ${CORVANE_PROGRAM_SUBDIR}
        COMPONENT user)
install(FILES ${PROJECT_SOURCE_DIR}/resources/pictures/corvane-256.png
        DESTINATION ${CORVANE_ICON_SUBDIR} RENAME corvane.png COMPONENT user)

# The prefix is known only when installing (--prefix), so the launcher is filled in then. Its
# Path is the program folder, where a user install keeps its log and pages.
install(CODE "
    set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
    if(NOT IS_ABSOLUTE \"\${prefix}\")
        get_filename_component(prefix \"\${prefix}\" ABSOLUTE)
    endif()
    set(CORVANE_PROGRAM_DIR \"\${prefix}/${CORVANE_PROGRAM_SUBDIR}\")
    set(CORVANE_TRYEXEC \"\${CORVANE_PROGRAM_DIR}/corvane\")
    set(CORVANE_EXEC \"\\\"\${CORVANE_TRYEXEC}\\\"\")
    set(CORVANE_ICON \"\${prefix}/${CORVANE_ICON_SUBDIR}/corvane.png\")
    set(launcher \"${PROJECT_BINARY_DIR}/packaging/user/corvane.desktop\")
    configure_file(\"${PROJECT_SOURCE_DIR}/packaging/corvane.desktop.in\" \"\${launcher}\" @ONLY)
    file(APPEND \"\${launcher}\" \"Path=\${CORVANE_PROGRAM_DIR}\\n\")
    file(INSTALL DESTINATION \"\${prefix}/share/applications\" TYPE FILE FILES \"\${launcher}\")
" COMPONENT user)

# ---- system

# The unit names /usr/bin/corvane, so no other prefix would give a working install.
install(CODE "
    if(NOT CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
        message(FATAL_ERROR \"the system layout installs into /usr only (it is the Debian package's; see scripts/package.sh), not '\${CMAKE_INSTALL_PREFIX}'; for your own account: cmake --install <build> --prefix ~/.local\")
    endif()
" COMPONENT system EXCLUDE_FROM_ALL)

# Found on PATH and in the icon theme, so the launcher names them without a folder; the
# program chooses its own working folder, so there is no Path either.
set(CORVANE_EXEC corvane)
set(CORVANE_TRYEXEC corvane)
set(CORVANE_ICON corvane)
configure_file(${PROJECT_SOURCE_DIR}/packaging/corvane.desktop.in
               ${PROJECT_BINARY_DIR}/packaging/system/corvane.desktop @ONLY)

install(TARGETS corvane RUNTIME DESTINATION bin COMPONENT system EXCLUDE_FROM_ALL)
install(TARGETS corvane_core corvane_reseau corvane_fenetre corvane_envoi corvane_son
    corvane_trousseau corvane_historique LIBRARY DESTINATION lib/corvane COMPONENT system
        EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/resources/ip_check.php DESTINATION share/corvane
        COMPONENT system EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_BINARY_DIR}/packaging/system/corvane.desktop
        DESTINATION share/applications COMPONENT system EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/resources/pictures/corvane-256.png
        DESTINATION ${CORVANE_ICON_SUBDIR} RENAME corvane.png COMPONENT system EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/corvane.service DESTINATION lib/systemd/user
        COMPONENT system EXCLUDE_FROM_ALL)
