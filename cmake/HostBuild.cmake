# Native build of the portable core: unit tests under AddressSanitizer and
# UBSan, and (with QM_FUZZ) libFuzzer targets.
set(QM_WARNINGS -Wall -Wextra -Wpedantic -Werror)

set(QM_FUZZ_SECONDS 20 CACHE STRING "How long each fuzz target runs as a test")
if(QM_FUZZ)
  set(QM_SAN -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all)
else()
  set(QM_SAN -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
endif()

add_library(qm_portable STATIC ${QM_PORTABLE_SOURCES} ${QM_CHECK_PORTABLE_SOURCES})
target_include_directories(qm_portable PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tools)
target_compile_options(qm_portable PUBLIC ${QM_WARNINGS} ${QM_SAN})
if(QM_FUZZ)
  target_link_options(qm_portable PUBLIC -fsanitize=address,undefined)
else()
  target_link_options(qm_portable PUBLIC ${QM_SAN})
endif()

if(QM_FUZZ)
  file(GLOB QM_FUZZ_TARGETS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz_*.cpp)
  foreach(src ${QM_FUZZ_TARGETS})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_link_libraries(${name} PRIVATE qm_portable)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    # A short bounded run per target: new inputs go to a scratch corpus, the
    # checked-in seeds are only read. A crash, leak or sanitizer report fails.
    set(scratch ${CMAKE_BINARY_DIR}/corpus/${name})
    add_test(NAME fuzz.${name}
             COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
                     $<TARGET_FILE:${name}> -max_total_time=${QM_FUZZ_SECONDS} -rss_limit_mb=2048
                     -print_final_stats=1 ${scratch} ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${name})
    set_tests_properties(fuzz.${name} PROPERTIES TIMEOUT 600)
    file(MAKE_DIRECTORY ${scratch})
  endforeach()
  return()
endif()

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SRC} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB QM_HOST_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/host/*.cpp)
add_executable(host_tests ${QM_HOST_TESTS})
target_link_libraries(host_tests PRIVATE qm_portable GTest::gtest_main)
target_include_directories(host_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
# Tests that compare with checked-in files (the sample configuration) read them here.
target_compile_definitions(host_tests PRIVATE QM_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

include(GoogleTest)
gtest_discover_tests(host_tests TEST_PREFIX "host." DISCOVERY_TIMEOUT 60)
