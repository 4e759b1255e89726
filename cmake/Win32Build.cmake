# Cross build of uninstall.exe, the installer-side tool and the Wine tests.
enable_language(RC)

set(QM_WIN32_DEFS UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
# -Wno-restrict: GCC 12 reports false overlaps inside libstdc++'s string code.
set(QM_WIN32_FLAGS -Wall -Wextra -Werror -Wno-restrict -fno-strict-aliasing -ffunction-sections -fdata-sections)
# Fully static: the copy in the temp folder must run with no DLL of ours
# beside it (without -static libgcc_s, libstdc++ and libwinpthread are DLLs).
set(QM_WIN32_LINK -static -municode -Wl,--gc-sections -s)

# Everything of the program but its entry point, so that the tests link the
# very code that ships.
add_library(qm_program STATIC ${QM_PORTABLE_SOURCES} ${QM_WIN32_SOURCES})
target_include_directories(qm_program PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_definitions(qm_program PUBLIC ${QM_WIN32_DEFS})
target_compile_options(qm_program PUBLIC ${QM_WIN32_FLAGS})
target_link_libraries(qm_program PUBLIC comctl32 gdi32 user32 shell32 advapi32 ole32 uuid ntdll)

# LeanRuntime.cpp replaces parts of the C++ run-time library in the program
# only: the tests keep the library's own.
add_executable(uninstall WIN32 src/Uninstall.cpp src/LeanRuntime.cpp res/Uninstall.rc)
# windres does not report the files the script pulls in: name them, so a new
# artwork or manifest rebuilds the resources.
file(GLOB QM_RESOURCE_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/*.manifest ${CMAKE_SOURCE_DIR}/res/art/*.png
     ${CMAKE_SOURCE_DIR}/res/art/*.ico)
set_source_files_properties(res/Uninstall.rc PROPERTIES OBJECT_DEPENDS "${QM_RESOURCE_FILES}")
target_link_libraries(uninstall PRIVATE qm_program)
target_link_options(uninstall PRIVATE ${QM_WIN32_LINK})
set_target_properties(uninstall PROPERTIES OUTPUT_NAME uninstall)

# The installer's tool checks a configuration with the program's own reader
# and rules, so it links the program's code (unused parts are dropped).
add_library(qm_config_check STATIC ${QM_CHECK_PORTABLE_SOURCES} ${QM_CHECK_WIN32_SOURCES})
target_include_directories(qm_config_check PUBLIC ${CMAKE_SOURCE_DIR}/tools)
target_link_libraries(qm_config_check PUBLIC qm_program)
add_executable(embed-config tools/embed-config/EmbedConfig.cpp)
target_link_libraries(embed-config PRIVATE qm_config_check)
target_link_options(embed-config PRIVATE ${QM_WIN32_LINK})

# The window driver of the demo and the end-to-end scripts.
add_executable(qmdriver tests/driver/Driver.cpp)
target_compile_definitions(qmdriver PRIVATE ${QM_WIN32_DEFS})
target_compile_options(qmdriver PRIVATE ${QM_WIN32_FLAGS})
target_include_directories(qmdriver PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_options(qmdriver PRIVATE ${QM_WIN32_LINK})

# --- Tests under Wine -------------------------------------------------------
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SRC} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# The Wine tests run the build's own programs: the i686 build in a 32-bit
# prefix (and its end-to-end test once more in a 64-bit one, under WOW64).
# The x86_64 build is for machines that cannot run 32-bit programs at all
# (tools/test.sh picks it there): the same tests in a 64-bit prefix, named
# "wine-x64.*" and "e2e-x64.*". QM_WINE_TESTS=OFF registers none of them
# (the i686 build is then only built, and analysed).
option(QM_WINE_TESTS "Register the tests that run under Wine" ON)
option(QM_ANALYSIS_TESTS "Register the static analysis tests" ON)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(QM_WINE_ARCH win64)
  set(QM_T wine-x64)
  set(QM_E2E_RUNS "e2e-x64:wine")
else()
  set(QM_WINE_ARCH win32)
  set(QM_T wine)
  set(QM_E2E_RUNS "e2e32:wine" "e2e64:wine64")
endif()

# Test programs run through tests/wine/wine-exec, which copies them into the
# private prefix (no Z: drive, own HOME) and runs them there.
set(QM_WINE_DIR ${CMAKE_BINARY_DIR}/wine)
set(QM_WINE_EXEC ${CMAKE_SOURCE_DIR}/tests/wine/wine-exec)

add_library(qm_wine_testlib STATIC tests/wine/WineTestSupport.cpp tests/wine/ScriptedServer.cpp
            tests/wine/WindowFixture.cpp)
# The accessibility tests are oleacc's clients (the program loads it only when asked).
target_link_libraries(qm_wine_testlib PUBLIC qm_program qm_config_check GTest::gtest oleacc oleaut32)
target_include_directories(qm_wine_testlib PUBLIC ${CMAKE_SOURCE_DIR}/tests)

# A sealed prefix as a CTest fixture: set up before its tests, stopped after.
function(qm_wine_fixture fixture dir arch)
  add_test(NAME ${fixture}.prefix.setup COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/prefix setup ${dir} ${arch})
  add_test(NAME ${fixture}.prefix.cleanup COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/prefix cleanup ${dir})
  set_tests_properties(${fixture}.prefix.setup PROPERTIES FIXTURES_SETUP ${fixture} TIMEOUT 300)
  set_tests_properties(${fixture}.prefix.cleanup PROPERTIES FIXTURES_CLEANUP ${fixture} TIMEOUT 60)
endfunction()

# A test program run under Wine; it finds the program and the tool beside itself.
function(qm_wine_test_exe name src)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE qm_wine_testlib GTest::gtest_main)
  target_link_options(${name} PRIVATE -static)
  add_dependencies(${name} uninstall embed-config)
endfunction()

if(QM_WINE_TESTS)
  qm_wine_fixture(${QM_T} ${QM_WINE_DIR} ${QM_WINE_ARCH})
endif()

file(GLOB QM_WINE_TESTS_SRC CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*Test.cpp)
foreach(src ${QM_WINE_TESTS_SRC})
  get_filename_component(name ${src} NAME_WE)
  qm_wine_test_exe(${name} ${src})
  if(QM_WINE_TESTS)
    add_test(NAME ${QM_T}.${name} COMMAND ${QM_WINE_EXEC} ${QM_WINE_DIR} $<TARGET_FILE:${name}>
             --with $<TARGET_FILE:uninstall> --with $<TARGET_FILE:embed-config>)
    set_tests_properties(${QM_T}.${name} PROPERTIES FIXTURES_REQUIRED ${QM_T} TIMEOUT 300 RESOURCE_LOCK ${QM_T}prefix)
  endif()
endforeach()

if(QM_WINE_TESTS)
  # The start-up language under other system languages (Wine takes it from
  # the locale). Each entry: locale, the language identifier Wine then
  # reports, and the language index the window must choose.
  set_tests_properties(${QM_T}.StartupTest PROPERTIES ENVIRONMENT "QM_EXPECT_LANGID=1033;QM_EXPECT_LANG=2")
  foreach(case "ru_RU.UTF-8:1049:0" "uk_UA.UTF-8:1058:1" "nl_NL.UTF-8:1043:3" "nl_BE.UTF-8:2067:2" "pl_PL.UTF-8:1045:4")
    string(REPLACE ":" ";" parts ${case})
    list(GET parts 0 locale)
    list(GET parts 1 langid)
    list(GET parts 2 index)
    add_test(NAME ${QM_T}.StartupTest.${locale} COMMAND ${QM_WINE_EXEC} ${QM_WINE_DIR} $<TARGET_FILE:StartupTest>
             --with $<TARGET_FILE:uninstall> --with $<TARGET_FILE:embed-config> --gtest_filter=SystemLanguage.*)
    set_tests_properties(${QM_T}.StartupTest.${locale} PROPERTIES FIXTURES_REQUIRED ${QM_T} TIMEOUT 120
                         RESOURCE_LOCK ${QM_T}prefix
                         ENVIRONMENT "QM_LC_ALL=${locale};QM_EXPECT_LANGID=${langid};QM_EXPECT_LANG=${index}")
  endforeach()
  # The self-deletion on our users' systems: their ANSI and OEM code pages
  # differ, and the command interpreter reads the batch file in the OEM one.
  foreach(locale ru_RU.UTF-8 uk_UA.UTF-8 pl_PL.UTF-8)
    add_test(NAME ${QM_T}.RemovalSelfDeleteTest.${locale} COMMAND ${QM_WINE_EXEC} ${QM_WINE_DIR}
             $<TARGET_FILE:RemovalSelfDeleteTest> --with $<TARGET_FILE:uninstall> --gtest_filter=SelfDelete.*)
    set_tests_properties(${QM_T}.RemovalSelfDeleteTest.${locale} PROPERTIES FIXTURES_REQUIRED ${QM_T} TIMEOUT 300
                         RESOURCE_LOCK ${QM_T}prefix ENVIRONMENT "QM_LC_ALL=${locale}")
  endforeach()
  # What a configuration reads as under our users' code pages (1251, 1250;
  # 1252 is the default run's).
  foreach(locale ru_RU.UTF-8 pl_PL.UTF-8)
    add_test(NAME ${QM_T}.ConfigCheckTest.${locale} COMMAND ${QM_WINE_EXEC} ${QM_WINE_DIR}
             $<TARGET_FILE:ConfigCheckTest> --gtest_filter=ConfigEncoding.*)
    set_tests_properties(${QM_T}.ConfigCheckTest.${locale} PROPERTIES FIXTURES_REQUIRED ${QM_T} TIMEOUT 120
                         RESOURCE_LOCK ${QM_T}prefix ENVIRONMENT "QM_LC_ALL=${locale}")
  endforeach()
  # The host lookup where the DNS server never answers: in the private
  # network namespace of tests/wine/dead-resolver, which needs root and
  # unshare and reports the test skipped (77) without them.
  add_test(NAME ${QM_T}.FeedbackTest.DeadResolver COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/dead-resolver ${QM_WINE_DIR}
           $<TARGET_FILE:FeedbackTest> --with $<TARGET_FILE:uninstall> --gtest_filter=HostLookup.Unanswered*)
  set_tests_properties(${QM_T}.FeedbackTest.DeadResolver PROPERTIES FIXTURES_REQUIRED ${QM_T} TIMEOUT 120
                       RESOURCE_LOCK ${QM_T}prefix SKIP_RETURN_CODE 77)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    qm_wine_fixture(wine64 ${CMAKE_BINARY_DIR}/wine64 win64)
  endif()
endif()

# End to end: the i686 build in a 32-bit prefix and in a 64-bit one (WOW64
# registry view); the x86_64 build in a 64-bit prefix.
list(GET QM_E2E_RUNS 0 QM_E2E_FIRST)
file(GLOB QM_E2E_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*Test.cpp)
foreach(src ${QM_E2E_TESTS})
  get_filename_component(name ${src} NAME_WE)
  qm_wine_test_exe(${name} ${src})
  if(NOT QM_WINE_TESTS)
    continue()
  endif()
  foreach(run ${QM_E2E_RUNS})
    string(REPLACE ":" ";" parts ${run})
    list(GET parts 0 tag)
    list(GET parts 1 fixture)
    set(dir ${CMAKE_BINARY_DIR}/wine)
    set(fix ${QM_T})
    if(fixture STREQUAL "wine64")
      set(dir ${CMAKE_BINARY_DIR}/wine64)
      set(fix wine64)
    endif()
    add_test(NAME ${tag}.${name} COMMAND ${QM_WINE_EXEC} ${dir} $<TARGET_FILE:${name}>
             --with $<TARGET_FILE:uninstall> --with $<TARGET_FILE:embed-config>)
    set_tests_properties(${tag}.${name} PROPERTIES FIXTURES_REQUIRED ${fix} TIMEOUT 900 RESOURCE_LOCK ${fix}prefix)
    # The whole program where the DNS server never answers, in the first
    # prefix only (see FeedbackTest.DeadResolver above).
    if(name STREQUAL "UninstallTest" AND run STREQUAL QM_E2E_FIRST)
      add_test(NAME ${tag}.${name}.DeadResolver COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/dead-resolver ${dir}
               $<TARGET_FILE:${name}> --with $<TARGET_FILE:uninstall> --with $<TARGET_FILE:embed-config>
               --gtest_filter=Uninstall.AnUnansweredNameLookup*)
      set_tests_properties(${tag}.${name}.DeadResolver PROPERTIES FIXTURES_REQUIRED ${fix} TIMEOUT 300
                           RESOURCE_LOCK ${fix}prefix SKIP_RETURN_CODE 77)
    endif()
  endforeach()
endforeach()

# The README's run command, headless: its pictures of the window and its report.
if(QM_WINE_TESTS)
  add_test(NAME demo.run COMMAND bash ${CMAKE_SOURCE_DIR}/tests/demo/run-test ${CMAKE_BINARY_DIR}
           ${CMAKE_BINARY_DIR}/demo)
  set_tests_properties(demo.run PROPERTIES TIMEOUT 600)
endif()

# Optional parts kept in their own files: the benchmark harness, the
# DLL-planting test's decoy libraries and what ships (Release).
foreach(part Bench Plant Release)
  if(EXISTS ${CMAKE_SOURCE_DIR}/cmake/${part}.cmake)
    include(${CMAKE_SOURCE_DIR}/cmake/${part}.cmake)
  endif()
endforeach()

# Static analysis of src/ and tools/ (and the format of every C++ file): no findings allowed.
if(NOT QM_ANALYSIS_TESTS)
  return()
endif()
add_test(NAME analysis.clang-tidy COMMAND bash ${CMAKE_SOURCE_DIR}/tools/analyze.sh tidy ${CMAKE_BINARY_DIR})
add_test(NAME analysis.cppcheck COMMAND bash ${CMAKE_SOURCE_DIR}/tools/analyze.sh cppcheck)
add_test(NAME analysis.clang-format COMMAND bash ${CMAKE_SOURCE_DIR}/tools/analyze.sh format)
set_tests_properties(analysis.clang-tidy PROPERTIES TIMEOUT 1200)
