# The Debian package of the service, made by `cpack -G DEB` in the build directory.
#
# The program reads Tolvane.ini and writes Varenta.log beside its executable, so it gets a directory
# of its own, /opt/srvvarenta, where a store puts its Tolvane.ini; /usr/bin/prjSrvVarenta links to it
# (the program finds its directory through /proc/self/exe, which resolves the link). The package
# makes the service's own account, srvvarenta, and gives it that directory for its log (postinst);
# logrotate keeps the log to twelve weeks. Only the program and the rotation rule go in: the
# stand-in, the tests and the benchmarks stay out.

install(TARGETS prjSrvVarenta RUNTIME DESTINATION opt/srvvarenta COMPONENT service)
file(CREATE_LINK /opt/srvvarenta/prjSrvVarenta ${CMAKE_CURRENT_BINARY_DIR}/prjSrvVarenta.link SYMBOLIC)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/prjSrvVarenta.link DESTINATION usr/bin RENAME prjSrvVarenta
  COMPONENT service)
install(FILES debian/logrotate DESTINATION etc/logrotate.d RENAME srvvarenta COMPONENT service)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME srvvarenta)
# The project's version (the top CMakeLists.txt), raised for every release, so that installing the new
# package upgrades the old one; the Windows installer carries the same.
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "SrvVarenta developers <srvvarenta@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "keeps a store's Firebird database in step with the Varenta promotions cloud")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "SrvVarenta posts the store's sales, cancellations and daily closings to the Varenta cloud,
imports the promotions the store accepted and answers the cloud's resend requests, from
one timer-driven cycle that reports through /opt/srvvarenta/Varenta.log. Run
'prjSrvVarenta /INSTALL' once to register it with systemd.")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};service;/")
set(CPACK_STRIP_FILES ON)
# The runtime libraries it links (fbclient, curl, systemd, the C++ runtime), found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# adduser makes the account in postinst; without logrotate the log grows without end.
set(CPACK_DEBIAN_PACKAGE_DEPENDS adduser)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS logrotate)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS firebird3.0-server)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/debian/conffiles
  ${CMAKE_CURRENT_SOURCE_DIR}/debian/postinst ${CMAKE_CURRENT_SOURCE_DIR}/debian/prerm
  ${CMAKE_CURRENT_SOURCE_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
