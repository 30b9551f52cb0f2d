# Installs the native tavlen with its manual page.
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
