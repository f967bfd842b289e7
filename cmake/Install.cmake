# Installation into a user prefix, e.g. `cmake --install build --prefix ~/.local`:
#   <prefix>/lib/corvane/                 the program folder: corvane and ip_check.php. The program
#                                         keeps Corvane.cfg beside itself and runs there, so this
#                                         folder must stay writable by the user.
#   <prefix>/share/applications/corvane.desktop   the launcher, with absolute Exec and Icon
#   <prefix>/share/icons/hicolor/256x256/apps/corvane.png
# scripts/uninstall.sh removes exactly these files, from install_manifest.txt.

set(CORVANE_PROGRAM_SUBDIR lib/corvane)

# Checked before anything is copied: a prefix the launcher cannot name installs nothing.
install(CODE "
    # Characters that a launcher's Exec line would need escaped, or that break its key lines.
    if(CMAKE_INSTALL_PREFIX MATCHES \"[\\\"`$\\\\\\\\%\\n]\")
        message(FATAL_ERROR \"install prefix '\${CMAKE_INSTALL_PREFIX}' holds a character that a .desktop launcher cannot carry; choose another\")
    endif()
")

install(TARGETS corvane RUNTIME DESTINATION ${CORVANE_PROGRAM_SUBDIR})
# The detection script the owner copies to his web host, where the help text says it is.
install(FILES ${PROJECT_SOURCE_DIR}/resources/ip_check.php DESTINATION ${CORVANE_PROGRAM_SUBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/pictures/corvane-256.png
        DESTINATION share/icons/hicolor/256x256/apps RENAME corvane.png)

# The prefix is known only when installing (--prefix), so the launcher is filled in then.
install(CODE "
    set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
    if(NOT IS_ABSOLUTE \"\${prefix}\")
        get_filename_component(prefix \"\${prefix}\" ABSOLUTE)
    endif()
    set(CORVANE_PROGRAM_DIR \"\${prefix}/${CORVANE_PROGRAM_SUBDIR}\")
    set(CORVANE_EXEC \"\${CORVANE_PROGRAM_DIR}/corvane\")
    set(CORVANE_ICON \"\${prefix}/share/icons/hicolor/256x256/apps/corvane.png\")
    configure_file(\"${PROJECT_SOURCE_DIR}/packaging/corvane.desktop.in\"
                   \"${PROJECT_BINARY_DIR}/packaging/corvane.desktop\" @ONLY)
    file(INSTALL DESTINATION \"\${prefix}/share/applications\" TYPE FILE
         FILES \"${PROJECT_BINARY_DIR}/packaging/corvane.desktop\")
")
