# varenta_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <label>] [SERIAL] [DATABASE])
# One GoogleTest executable per unit, its cases registered with CTest one by one. SERIAL: its cases
# change something every test shares (such as the database server's configuration) and run alone.
# DATABASE: it works against the local Firebird server; a Windows build has it only with the wine
# bridge (VARENTA_WINE_FBCLIENT), which goes beside it as its fbclient.dll, in a directory of its own
# (the client tests of storedb/ need one without a client).
function(varenta_test name)
  cmake_parse_arguments(T "SERIAL;DATABASE" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(WIN32 AND T_DATABASE AND NOT VARENTA_WINE_FBCLIENT)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  if(WIN32 AND T_DATABASE)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/db)
    configure_file(${VARENTA_WINE_FBCLIENT} ${CMAKE_CURRENT_BINARY_DIR}/db/fbclient.dll COPYONLY)
  endif()
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
# A libFuzzer target and its committed inputs in corpus/<name>/ beside its sources: the seeds, and
# every input a fuzz run found a fault with. Under -DVARENTA_FUZZ=ON (clang, scripts/fuzz.sh) it links
# libFuzzer; in every other build it links a main that runs each of those inputs once, and the suite
# does that as the test <name>_corpus.
function(varenta_fuzz name)
  if(WIN32)
    return()
  endif()
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  set(corpus ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name})
  if(NOT IS_DIRECTORY ${corpus})
    message(FATAL_ERROR "${name}: no corpus in ${corpus}")
  endif()
  if(VARENTA_FUZZ)
    add_executable(${name} ${F_SOURCES})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    add_executable(${name} ${F_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/fuzz_replay_main.cpp)
    add_test(NAME ${name}_corpus COMMAND ${name} ${corpus})
    set_tests_properties(${name}_corpus PROPERTIES LABELS fuzz)
  endif()
  target_link_libraries(${name} PRIVATE ${F_LIBS} varenta_testing)
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
