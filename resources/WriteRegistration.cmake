# Run at install time: writes the D-Bus activation file for the executable under the prefix that
# this install goes to, and the program key with "AppPath" for every user (VANTOREL_BINDIR,
# VANTOREL_DATADIR and VANTOREL_SYSCONFDIR are set before). Written straight into place, so that
# installs into several prefixes at once cannot mix up their files.
function(vantorel_install_path variable folder name)
  if(NOT IS_ABSOLUTE "${folder}")
    set(folder "${CMAKE_INSTALL_PREFIX}/${folder}")
  endif()
  set(${variable} "${folder}/${name}" PARENT_SCOPE)
endfunction()

function(vantorel_write_installed file text)
  message(STATUS "Installing: $ENV{DESTDIR}${file}")
  file(WRITE "$ENV{DESTDIR}${file}" "${text}")
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "$ENV{DESTDIR}${file}")
  set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES}" PARENT_SCOPE)
endfunction()

vantorel_install_path(executable "${VANTOREL_BINDIR}" vantorel)

# The registry store escapes a backslash in a value.
get_filename_component(appPath "${executable}" DIRECTORY)
string(REPLACE [[\]] [[\\]] appPath "${appPath}")
vantorel_install_path(file "${VANTOREL_SYSCONFDIR}" xdg/vantorel/registry)
vantorel_write_installed("${file}" "[Software/Vantorel/Vantorel]\nAppPath=${appPath}\n")
# Exec= is read like a shell line: inside double quotes a backslash escapes these four.
foreach(special [[\]] [["]] [[$]] [[`]])
  string(REPLACE "${special}" "\\${special}" executable "${executable}")
endforeach()

vantorel_install_path(file "${VANTOREL_DATADIR}" dbus-1/services/example.vantorel.Vantorel.service)
vantorel_write_installed("${file}" "[D-BUS Service]\nName=example.vantorel.Vantorel\nExec=\"${executable}\" -AUTOMATION\n")
