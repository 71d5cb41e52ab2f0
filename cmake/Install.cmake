# What `cmake --install` puts on the machine besides the programs (installed where they are
# built): the service unit, the desktop and autostart entries with the icon, the permission
# set-up (group, daemon user, state directories, polkit rule), the sample node configuration
# file and the manual pages. Paths follow GNUInstallDirs; systemd's own directories come from
# pkg-config, so that the service manager finds the files whatever the prefix.

function(tavox_systemd_dir var pkgvar fallback)
    if(NOT DEFINED CACHE{${var}})
        pkg_get_variable(found systemd ${pkgvar})
        if(NOT found)
            set(found "${fallback}")
        endif()
        set(${var} "${found}" CACHE PATH "Install folder for systemd's ${pkgvar}")
    endif()
endfunction()

tavox_systemd_dir(TAVOX_SYSTEMD_UNIT_DIR systemdsystemunitdir "${CMAKE_INSTALL_PREFIX}/lib/systemd/system")
tavox_systemd_dir(TAVOX_SYSUSERS_DIR sysusersdir "${CMAKE_INSTALL_PREFIX}/lib/sysusers.d")
tavox_systemd_dir(TAVOX_TMPFILES_DIR tmpfilesdir "${CMAKE_INSTALL_PREFIX}/lib/tmpfiles.d")

set(TAVOX_DIST_DIR ${PROJECT_SOURCE_DIR}/dist)
set(TAVOX_DATA_NAME tavox-server-utility)

install(FILES ${PROJECT_BINARY_DIR}/server/tavox-server.service DESTINATION ${TAVOX_SYSTEMD_UNIT_DIR})
install(FILES ${TAVOX_DIST_DIR}/sysusers.conf DESTINATION ${TAVOX_SYSUSERS_DIR} RENAME ${TAVOX_DATA_NAME}.conf)
install(FILES ${TAVOX_DIST_DIR}/tmpfiles.conf DESTINATION ${TAVOX_TMPFILES_DIR} RENAME ${TAVOX_DATA_NAME}.conf)
install(FILES ${TAVOX_DIST_DIR}/tavox-server.rules
    DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/rules.d RENAME 50-tavox-server.rules)

# The sample node configuration file that a new service directory starts with.
install(FILES ${PROJECT_SOURCE_DIR}/resources/demo/NodeConfig.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/${TAVOX_DATA_NAME})

if(TAVOX_BUILD_UI)
    install(FILES ${TAVOX_DIST_DIR}/tavox-utility.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${TAVOX_DIST_DIR}/tavox-utility-autostart.desktop
        DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/xdg/autostart RENAME tavox-utility.desktop)
    foreach(size 16 24 32 48 64 96 128 256)
        install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/tavox-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME tavox-utility.png)
    endforeach()
endif()

# Manual pages, compressed as the manual expects; gzip -n keeps the package reproducible.
find_program(TAVOX_GZIP gzip REQUIRED)
set(man_pages tavox-nodeset.1 tavox-server.8)
if(TAVOX_BUILD_UI)
    list(APPEND man_pages tavox-utility.1)
endif()
set(man_outputs)
foreach(page IN LISTS man_pages)
    string(REGEX REPLACE ".*\\.([0-9])$" "\\1" section ${page})
    set(output ${PROJECT_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
        COMMAND sh -c "\"$0\" -9nc \"$1\" > \"$2\"" ${TAVOX_GZIP} ${TAVOX_DIST_DIR}/man/${page} ${output}
        DEPENDS ${TAVOX_DIST_DIR}/man/${page}
        VERBATIM)
    list(APPEND man_outputs ${output})
    install(FILES ${output} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()

# tavox-admin's manual page and bash completion come from the program's own help texts, the
# one source of its --help, so that the three never disagree.
set(admin_man ${PROJECT_BINARY_DIR}/man/tavox-admin.8)
set(admin_completion ${PROJECT_BINARY_DIR}/completion/tavox-admin)
add_custom_command(OUTPUT ${admin_man}.gz ${admin_completion}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man ${PROJECT_BINARY_DIR}/completion
    COMMAND sh -c "\"$0\" --man > \"$1\" && \"$2\" -9nc \"$1\" > \"$1.gz\" && \"$0\" --bash-completion > \"$3\""
        $<TARGET_FILE:tavox-admin> ${admin_man} ${TAVOX_GZIP} ${admin_completion}
    DEPENDS tavox-admin
    VERBATIM)
list(APPEND man_outputs ${admin_man}.gz ${admin_completion})
install(FILES ${admin_man}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
set(TAVOX_BASH_COMPLETION_DIR ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
    CACHE PATH "Install folder for bash completions")
install(FILES ${admin_completion} DESTINATION ${TAVOX_BASH_COMPLETION_DIR})
add_custom_target(man_pages ALL DEPENDS ${man_outputs})
