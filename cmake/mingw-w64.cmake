# Cross-build for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64):
#   cmake -S . -B build-windows --toolchain cmake/mingw-w64.cmake
# The posix-threads variant of the compiler, called by name: the plain x86_64-w64-mingw32-g++ is the
# win32-threads one, which has no std::thread. The C and C++ runtimes and winpthread are linked in
# statically, so the .exe needs no DLL beyond Windows' own. Tests run under wine (scripts/wine-run).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VARENTA_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VARENTA_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VARENTA_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${VARENTA_MINGW}-windres)
set(CMAKE_AR ${VARENTA_MINGW}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${VARENTA_MINGW}-gcc-ranlib-posix CACHE FILEPATH "")

# Libraries, headers and packages only from the mingw tree, never the host's /usr/include or
# /usr/lib; programs (wine, makensis) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${VARENTA_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest (and the discovery of a test program's cases) runs every Windows program through wine, in
# the build's own wine prefix (build-windows/wine).
get_filename_component(VARENTA_WINE_RUN ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VARENTA_WINE_RUN} ${CMAKE_BINARY_DIR}/wine)
