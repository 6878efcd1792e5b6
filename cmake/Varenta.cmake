# varenta_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>] [SERIAL])
# One GoogleTest executable per unit, its cases registered with CTest one by one. SERIAL: its cases
# change something every test shares (such as the database server's configuration) and run alone.
function(varenta_test name)
  cmake_parse_arguments(T "SERIAL" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} varenta_testing GTest::gtest GTest::gmock GTest::gtest_main)
  set(serial "")
  if(T_SERIAL)
    set(serial RUN_SERIAL TRUE)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${T_LABELS}" ${serial})
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
