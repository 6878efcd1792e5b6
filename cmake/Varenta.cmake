# varenta_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <label>] [SERIAL])
# One GoogleTest executable per unit, its cases registered with CTest one by one. SERIAL: its cases
# change something every test shares (such as the database server's configuration) and run alone.
function(varenta_test name)
  cmake_parse_arguments(T "SERIAL" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} varenta_testing GTest::gtest GTest::gmock GTest::gtest_main)
  # Only properties that have a value: an empty LABELS would take the next name as its value (and
  # RUN_SERIAL would then never be set).
  set(properties "")
  if(T_LABELS)
    list(APPEND properties LABELS ${T_LABELS})
  endif()
  if(T_SERIAL)
    list(APPEND properties RUN_SERIAL TRUE)
  endif()
  # A cross-built test program lists its cases when ctest runs (under wine), not while it is built.
  set(discovery "")
  if(CMAKE_CROSSCOMPILING)
    set(discovery DISCOVERY_MODE PRE_TEST)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 ${discovery} PROPERTIES ${properties})
endfunction()

# varenta_fuzz(<name> SOURCES <files...> LIBS <targets...>)
# A libFuzzer target, built only with -DVARENTA_FUZZ=ON under clang (scripts/fuzz.sh).
function(varenta_fuzz name)
  if(NOT VARENTA_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS} varenta_testing)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()

# varenta_host_headers(<target> <entries...>): an interface library that shows the Windows compiler
# the named entries of the host's /usr/include (links in a directory of the build), and nothing else
# of it: only headers that are the same for every platform (Firebird's client API, RapidJSON).
function(varenta_host_headers target)
  set(dir ${CMAKE_BINARY_DIR}/host-headers/${target})
  file(MAKE_DIRECTORY ${dir})
  foreach(entry ${ARGN})
    if(NOT EXISTS /usr/include/${entry})
      message(FATAL_ERROR "/usr/include/${entry} is missing (scripts/install-deps.sh installs it)")
    endif()
    file(CREATE_LINK /usr/include/${entry} ${dir}/${entry} SYMBOLIC)
  endforeach()
  add_library(${target} INTERFACE)
  target_include_directories(${target} SYSTEM INTERFACE ${dir})
endfunction()
