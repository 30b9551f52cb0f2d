# Installs the native tavlen with its manual page, and packs both, with the licence, as a Debian package.
include(GNUInstallDirs)

# Folders made by the install are 0755 at most; the package's are set exactly when it is packed.
set(tavlen_dir_permissions OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${tavlen_dir_permissions})

install(TARGETS Tavlen RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The build keeps its symbols for the debugger and the benchmark; what is installed needs none, nor the
# compiler's notes, which Debian's own packages drop the same way.
install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
  --strip-unneeded \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tavlen\"
  COMMAND_ERROR_IS_FATAL ANY)")
install(FILES docs/tavlen.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# CPack packs what is built: building the whole tree, tests and all, first would only make packing slow.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavlen)
# All four parts, as the Windows images' version block has them.
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tavlen developers")
set(CPACK_PACKAGE_CONTACT "The Tavlen developers <tavlen@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "record the identity of this machine in a six-line report")
set(CPACK_PACKAGE_DESCRIPTION "\
tavlen reads the computer's model, product version, serial number and firmware
version from the kernel's DMI tables, and the operating system from os-release,
and writes them below a timestamp to the file it is given, for inventories that
a cron job or a deployment script collects. It replaces an old report whole or
not at all, and always exits with status 0: the report is its only result.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${tavlen_dir_permissions})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# A cross build names the program's architecture, and dpkg-shlibdeps finds its libraries in the cross libc.
if(CMAKE_CROSSCOMPILING)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${TAVLEN_DEB_ARCHITECTURE})
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_FIND_ROOT_PATH}/lib)
endif()
# What Debian wants beside the program, but a plain install does not: the copyright, the changelog, the
# manual page compressed.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/deb-docs.cmake)
set(CPACK_TAVLEN_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_TAVLEN_MANDIR ${CMAKE_INSTALL_MANDIR})
include(CPack)
