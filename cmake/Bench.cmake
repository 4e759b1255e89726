# The benchmark's programs (tools/bench.sh builds and runs them). Not part of
# CTest: they are measuring tools, not tests (built with the rest, so they keep compiling).

# The folder-removal harness links the very code that ships, and the
# program's resources, so that its window and bar look as the program's do
# (common controls 6 through the same manifest, the same artwork).
add_executable(RemovalBench tests/bench/RemovalBench.cpp res/Uninstall.rc)
target_link_libraries(RemovalBench PRIVATE qm_program uxtheme)
target_include_directories(RemovalBench PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_options(RemovalBench PRIVATE ${QM_WIN32_LINK})

# Start-up time and peak working set of the real program, from outside.
add_executable(ProcessBench tests/bench/ProcessBench.cpp)
target_compile_definitions(ProcessBench PRIVATE ${QM_WIN32_DEFS})
target_compile_options(ProcessBench PRIVATE ${QM_WIN32_FLAGS})
target_include_directories(ProcessBench PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(ProcessBench PRIVATE psapi)
target_link_options(ProcessBench PRIVATE ${QM_WIN32_LINK})
