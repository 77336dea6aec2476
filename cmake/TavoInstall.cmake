# Where `cmake --install` puts the program. The start program, the viewer, the
# plug-in hosts and the shipped plug-ins share one program folder of their own,
# so that the program's folder is still a plug-in folder and the start program
# finds the viewer beside itself; the command in bin/ is a symbolic link to the
# start program, which resolves its own folder through the link.
include(GNUInstallDirs)

# Relative to the prefix (or absolute). Debian keeps a program's private
# executables and modules in /usr/lib/<program>.
set(TAVO_INSTALL_PROGRAM_DIR "lib/tavotavo" CACHE STRING "Program folder: programs, plug-in hosts and plug-ins")

# tavo_install_program(TARGET...): installs programs into the program folder.
function(tavo_install_program)
  install(TARGETS ${ARGN} RUNTIME DESTINATION ${TAVO_INSTALL_PROGRAM_DIR})
endfunction()

# tavo_install_command(NAME PROGRAM): bin/NAME, a relative symbolic link to
# PROGRAM in the program folder, so that the installed tree can be moved
# (a DESTDIR staging folder, a package).
function(tavo_install_command name program)
  if(IS_ABSOLUTE "${TAVO_INSTALL_PROGRAM_DIR}")
    set(target "${TAVO_INSTALL_PROGRAM_DIR}/${program}")
  else()
    file(RELATIVE_PATH target "/prefix/${CMAKE_INSTALL_BINDIR}" "/prefix/${TAVO_INSTALL_PROGRAM_DIR}/${program}")
  endif()
  install(CODE "
    set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${name}\")
    message(STATUS \"Installing: \${link} -> ${target}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(REMOVE \"\${link}\")
    file(CREATE_LINK \"${target}\" \"\${link}\" SYMBOLIC)
  ")
endfunction()
