# Installation and the Debian package. The programs find their modules
# relative to themselves, so an installed tree can be moved as a whole.
set(QUORVEL_PROGRAMS QuorvelWidgetsExtension QuorvelNotificationsExtension quorvel-host)

install(TARGETS ${QUORVEL_PROGRAMS} RUNTIME DESTINATION bin)
install(TARGETS quorvel_render quorvel_tls quorvel_serve LIBRARY DESTINATION ${QUORVEL_MODULE_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/en.lproj DESTINATION share/quorvel)
install(FILES ${PROJECT_SOURCE_DIR}/resources/images/quorvel-icon.png DESTINATION share/quorvel)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION share/doc/quorvel)

# The unit names the installed program, wherever `cmake --install --prefix`
# puts it, so it is written at install time.
install(CODE "
  set(QUORVEL_BINDIR \"\${CMAKE_INSTALL_PREFIX}/bin\")
  configure_file(\"${PROJECT_SOURCE_DIR}/packaging/quorvel-widgets.service.in\"
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/user/quorvel-widgets.service\" @ONLY)
  message(STATUS \"Installing: \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/user/quorvel-widgets.service\")")

# Man pages and completions come from each program's --help, so they never
# drift from what the program accepts.
find_program(HELP2MAN help2man)
find_program(GZIP gzip REQUIRED)
set(QuorvelWidgetsExtension_summary "draws, serves and describes the Quorvel portfolio widgets")
set(QuorvelNotificationsExtension_summary "completes a push notification's content and delivers it")
set(quorvel-host_summary "stand-in for the Quorvel app: holdings, widget theme and snapshot")
set(man_pages)
foreach(program ${QUORVEL_PROGRAMS})
  set(PROGRAM ${program})
  configure_file(${PROJECT_SOURCE_DIR}/packaging/bash-completion.in
                 ${CMAKE_BINARY_DIR}/completions/${program} @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/completions/${program}
          DESTINATION share/bash-completion/completions)
  if(HELP2MAN AND GZIP)
    set(page ${CMAKE_BINARY_DIR}/man/${program}.1.gz)
    add_custom_command(
      OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${HELP2MAN} --no-info "--name=${${program}_summary}" --no-discard-stderr --version-string=${PROJECT_VERSION}
              --output=${CMAKE_BINARY_DIR}/man/${program}.1 $<TARGET_FILE:${program}>
      COMMAND ${GZIP} -9nf ${CMAKE_BINARY_DIR}/man/${program}.1
      DEPENDS ${program}
      COMMENT "Writing the manual page of ${program}" VERBATIM)
    list(APPEND man_pages ${page})
    install(FILES ${page} DESTINATION share/man/man1)
  endif()
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/doc/changelog @ONLY)
set(changelog ${CMAKE_BINARY_DIR}/doc/changelog.gz)
add_custom_command(OUTPUT ${changelog}
                   COMMAND ${GZIP} -9nkf ${CMAKE_BINARY_DIR}/doc/changelog
                   DEPENDS ${CMAKE_BINARY_DIR}/doc/changelog VERBATIM)
install(FILES ${changelog} DESTINATION share/doc/quorvel)
add_custom_target(quorvel_docs ALL DEPENDS ${man_pages} ${changelog})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "The Quorvel developers")
set(CPACK_PACKAGE_CONTACT "The Quorvel developers <developers@quorvel.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "crypto portfolio widgets and notification extension")
set(CPACK_PACKAGE_DESCRIPTION
    "Values the holdings that the Quorvel app stores against the exchange's\n24-hour ticker statistics and draws a small and a medium widget, kept\ncurrent on a local page by a resident widget host. Also completes push\nnotifications' content and shows it on the desktop.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The widgets are drawn in Inter; the libraries come from SHLIBDEPS.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-inter")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
