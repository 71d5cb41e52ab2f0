# The Debian package, built by `cpack -G DEB` from the install rules (scripts/package.sh):
# tavox-server-utility_<version>_amd64.deb, its dependencies computed from the programs, and
# maintainer scripts that set up the group, the daemon's user and /var/lib/tavox.

set(TAVOX_PACKAGE_NAME tavox-server-utility)
set(CPACK_PACKAGE_NAME ${TAVOX_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "MORVANE")
set(CPACK_PACKAGE_CONTACT "MORVANE Tavox Server support <tavox-support@morvane.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration utility and daemon of the Tavox Server")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
# Absolute destinations (/etc, systemd's directories) land in the package, not on this machine.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})

set(CPACK_DEBIAN_PACKAGE_NAME ${TAVOX_PACKAGE_NAME})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The synopsis comes from the summary; this is the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "The Tavox Server Utility configures the Tavox Server on this
machine: its endpoints, its users and their rights, the node
configuration file with its alarms and historical data, and the
history database. It starts, stops and restarts the service and
stays in the notification area.
.
The package holds the utility, the command-line tools tavox-admin
and tavox-nodeset, and the daemon tavox-server, which serves OPC UA
through its Node.js engine, with its hardened systemd unit (installed
but not enabled). Members of the group tavox may change the settings
and control the service.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The set-up runs systemd-sysusers and systemd-tmpfiles; polkit lets the group control the unit.
# The daemon's engine runs on Node.js; its packages are in the package.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "systemd, nodejs (>= 18)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "polkitd")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Maintainer scripts, and the files under /etc that dpkg keeps when an administrator edits them.
set(TAVOX_CONFFILES ${PROJECT_BINARY_DIR}/deb/conffiles)
if(TAVOX_BUILD_UI)
    file(WRITE ${TAVOX_CONFFILES} "${CMAKE_INSTALL_FULL_SYSCONFDIR}/xdg/autostart/tavox-utility.desktop\n")
else()
    file(WRITE ${TAVOX_CONFFILES} "")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/dist/deb/postinst
    ${PROJECT_SOURCE_DIR}/dist/deb/prerm
    ${PROJECT_SOURCE_DIR}/dist/deb/postrm
    ${TAVOX_CONFFILES})

# The copyright file and the changelog that every Debian package carries in its doc folder.
string(TIMESTAMP TAVOX_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/dist/deb/changelog.in ${PROJECT_BINARY_DIR}/deb/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/deb/changelog.gz
    COMMAND sh -c "\"$0\" -9nc \"$1\" > \"$2\"" ${TAVOX_GZIP} ${PROJECT_BINARY_DIR}/deb/changelog
        ${PROJECT_BINARY_DIR}/deb/changelog.gz
    DEPENDS ${PROJECT_BINARY_DIR}/deb/changelog
    VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/deb/changelog.gz)
set(TAVOX_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${TAVOX_PACKAGE_NAME})
install(FILES ${PROJECT_SOURCE_DIR}/dist/deb/copyright ${PROJECT_BINARY_DIR}/deb/changelog.gz DESTINATION ${TAVOX_DOC_DIR})
# What lintian says about the engine's third-party packages and is so on purpose.
install(FILES ${PROJECT_SOURCE_DIR}/dist/deb/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${TAVOX_PACKAGE_NAME})

include(CPack)
