# The Windows side of the service: the Event Log's message table in the program, the tests of the
# program under the service control manager, and the installer.

# The program is the message file of its own event source (servicelog/event_messages.mc).
add_dependencies(prjSrvVarenta event_messages)
target_sources(prjSrvVarenta PRIVATE ${VARENTA_EVENT_MESSAGES_OBJECT})

# The installer: build-windows/SrvVarenta-<version>-win64.exe, with the program stripped of its
# debugging information.
find_program(VARENTA_MAKENSIS makensis REQUIRED)
set(installer ${CMAKE_BINARY_DIR}/SrvVarenta-${PROJECT_VERSION}-win64.exe)
set(shipped ${CMAKE_CURRENT_BINARY_DIR}/installer/prjSrvVarenta.exe)
add_custom_command(
  OUTPUT ${installer}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/installer
  COMMAND ${CMAKE_STRIP} -o ${shipped} $<TARGET_FILE:prjSrvVarenta>
  COMMAND ${VARENTA_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DPROGRAM=${shipped}
    -DINI=${CMAKE_CURRENT_SOURCE_DIR}/installer/Tolvane.ini -DOUTFILE=${installer}
    ${CMAKE_CURRENT_SOURCE_DIR}/installer/srvvarenta.nsi
  DEPENDS prjSrvVarenta installer/srvvarenta.nsi installer/Tolvane.ini
  COMMENT "Installer SrvVarenta-${PROJECT_VERSION}-win64.exe")
add_custom_target(installer ALL DEPENDS ${installer})

# They register the one service SrvVarenta of the wine prefix and install into its Program Files:
# one at a time.
varenta_test(service_windows_test
  SOURCES service_windows_test.cpp
  LIBS varenta_host
  SERIAL)
target_compile_definitions(service_windows_test PRIVATE
  VARENTA_SERVICE_BINARY="$<TARGET_FILE:prjSrvVarenta>"
  VARENTA_INSTALLER="${installer}"
  VARENTA_TOLVANE_INI="${CMAKE_CURRENT_SOURCE_DIR}/installer/Tolvane.ini")
add_executable(varenta_recording_program recording_program.cpp)
target_compile_definitions(service_windows_test PRIVATE
  VARENTA_RECORDING_PROGRAM="$<TARGET_FILE:varenta_recording_program>")
add_dependencies(service_windows_test prjSrvVarenta installer varenta_recording_program)

# The inspections' text in a console (wine shows a console only on a terminal: a pseudo-terminal).
add_test(NAME host_console_inspection
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/console_test.sh $<TARGET_FILE:prjSrvVarenta>)
