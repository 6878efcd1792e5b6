# The Windows side of the service: the Event Log's message table in the program, the tests of the
# program under the service control manager, and the installer.

# The program is the message file of its own event source (event_messages.mc); the header gives the
# event identifiers to the code that reports.
find_program(VARENTA_WINDMC NAMES ${CMAKE_CXX_COMPILER_TARGET}-windmc x86_64-w64-mingw32-windmc windmc REQUIRED)
find_program(VARENTA_WINDRES NAMES ${CMAKE_CXX_COMPILER_TARGET}-windres x86_64-w64-mingw32-windres windres REQUIRED)
set(messages_dir ${CMAKE_CURRENT_BINARY_DIR}/generated/service)
file(MAKE_DIRECTORY ${messages_dir})  # the tools run in it
add_custom_command(
  OUTPUT ${messages_dir}/event_messages.h ${messages_dir}/event_messages.o
  COMMAND ${VARENTA_WINDMC} -h ${messages_dir} -r ${messages_dir} ${CMAKE_CURRENT_SOURCE_DIR}/event_messages.mc
  COMMAND ${VARENTA_WINDRES} ${messages_dir}/event_messages.rc -O coff -o ${messages_dir}/event_messages.o
  WORKING_DIRECTORY ${messages_dir}
  DEPENDS event_messages.mc
  COMMENT "Event Log messages")
add_custom_target(event_messages DEPENDS ${messages_dir}/event_messages.h ${messages_dir}/event_messages.o)
add_dependencies(varenta_service event_messages)
target_include_directories(varenta_service PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/generated)
target_sources(prjSrvVarenta PRIVATE ${messages_dir}/event_messages.o)
target_link_libraries(varenta_service PUBLIC advapi32)

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
  LIBS varenta_service
  SERIAL)
target_compile_definitions(service_windows_test PRIVATE
  VARENTA_SERVICE_BINARY="$<TARGET_FILE:prjSrvVarenta>"
  VARENTA_INSTALLER="${installer}"
  VARENTA_TOLVANE_INI="${CMAKE_CURRENT_SOURCE_DIR}/installer/Tolvane.ini")
add_dependencies(service_windows_test prjSrvVarenta installer)
