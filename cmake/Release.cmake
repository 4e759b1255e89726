# What ships: the same sources build the same files, and the release order
# (build, check, embed, sign, verify) holds.
# Debian's own Python, as the other scripts run it.
set(QM_PYTHON /usr/bin/python3)

# No build folder and no build time in the output: paths that the compiler
# records are relative to the sources and the build, __DATE__ and __TIME__
# are errors, and the linker's time stamp becomes one taken from the image's
# content (tools/pe_stamp.py), which still tells builds apart for a crash dump.
target_compile_options(qm_program PUBLIC -ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=.
                       -Wdate-time)
foreach(target uninstall embed-config)
  add_custom_command(TARGET ${target} POST_BUILD COMMAND ${QM_PYTHON} ${CMAKE_SOURCE_DIR}/tools/pe_stamp.py
                     $<TARGET_FILE:${target}> VERBATIM)
endforeach()

# The shipped files, linked once more in another folder, come out the same
# and name no folder of this machine.
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_GENERATOR MATCHES "Ninja")
  add_test(NAME release.reproducible
           COMMAND ${QM_PYTHON} ${CMAKE_SOURCE_DIR}/tests/release/reproducible.py ${CMAKE_MAKE_PROGRAM}
                   ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR} uninstall.exe embed-config.exe)
  set_tests_properties(release.reproducible PROPERTIES TIMEOUT 120)
endif()

# Embedding refuses a signed file; a file signed after embedding verifies
# and the uninstaller reads its configuration from it.
if(QM_WINE_TESTS)
  add_test(NAME release.signing COMMAND bash ${CMAKE_SOURCE_DIR}/tests/release/signing ${CMAKE_BINARY_DIR} ${QM_WINE_DIR})
  set_tests_properties(release.signing PROPERTIES FIXTURES_REQUIRED ${QM_T} RESOURCE_LOCK ${QM_T}prefix TIMEOUT 300)
endif()
