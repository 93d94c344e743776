# Run at install time: writes the D-Bus activation file for the executable under the prefix that
# this install goes to (VANTOREL_BINDIR and VANTOREL_DATADIR are set before). Written straight into
# place, so that installs into several prefixes at once cannot mix up their files.
if(IS_ABSOLUTE "${VANTOREL_BINDIR}")
  set(executable "${VANTOREL_BINDIR}/vantorel")
else()
  set(executable "${CMAKE_INSTALL_PREFIX}/${VANTOREL_BINDIR}/vantorel")
endif()
# Exec= is read like a shell line: inside double quotes a backslash escapes these four.
foreach(special [[\]] [["]] [[$]] [[`]])
  string(REPLACE "${special}" "\\${special}" executable "${executable}")
endforeach()

set(file "${VANTOREL_DATADIR}/dbus-1/services/example.vantorel.Vantorel.service")
if(NOT IS_ABSOLUTE "${file}")
  set(file "${CMAKE_INSTALL_PREFIX}/${file}")
endif()
message(STATUS "Installing: $ENV{DESTDIR}${file}")
file(WRITE "$ENV{DESTDIR}${file}" "[D-BUS Service]\nName=example.vantorel.Vantorel\nExec=\"${executable}\" -AUTOMATION\n")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "$ENV{DESTDIR}${file}")
