# The DLL-planting test's decoy library and control program (tests/plant).
# Both are built without the C runtime so that they import kernel32 alone,
# and are embedded into DllPlantingTest.exe as resources: the test writes
# the decoy out under the name of each system library it plants.
if(NOT TARGET DllPlantingTest)
  return()
endif()

set(QM_PLANT_DIR ${CMAKE_BINARY_DIR}/plant)
set(QM_PLANT_FLAGS -O2 -Wall -Wextra -Werror)
# Entry points by their linker names: stdcall names are decorated on i686 only.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(QM_PLANT_DLL_ENTRY DllMain)
  set(QM_PLANT_EXE_ENTRY ProbeMain)
else()
  set(QM_PLANT_DLL_ENTRY _DllMain@12)
  set(QM_PLANT_EXE_ENTRY _ProbeMain@0)
endif()

add_library(PlantDecoy SHARED tests/plant/Decoy.c)
set_target_properties(PlantDecoy PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${QM_PLANT_DIR})
target_compile_options(PlantDecoy PRIVATE ${QM_PLANT_FLAGS})
# No exports at all: whoever takes it for a system library finds nothing in it.
target_link_options(PlantDecoy PRIVATE -nostdlib -e ${QM_PLANT_DLL_ENTRY} -Wl,--exclude-all-symbols)
target_link_libraries(PlantDecoy PRIVATE kernel32)

add_executable(PlantProbe tests/plant/Probe.c)
set_target_properties(PlantProbe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QM_PLANT_DIR})
target_compile_options(PlantProbe PRIVATE ${QM_PLANT_FLAGS})
target_link_options(PlantProbe PRIVATE -nostdlib -e ${QM_PLANT_EXE_ENTRY})
target_link_libraries(PlantProbe PRIVATE kernel32)

# Resource 101 is the decoy, 102 the control program.
set(QM_PLANT_RC ${QM_PLANT_DIR}/Plant.rc)
file(WRITE ${QM_PLANT_RC}.in "101 RCDATA \"${QM_PLANT_DIR}/PlantDecoy.dll\"\n102 RCDATA \"${QM_PLANT_DIR}/PlantProbe.exe\"\n")
configure_file(${QM_PLANT_RC}.in ${QM_PLANT_RC} COPYONLY)
target_sources(DllPlantingTest PRIVATE ${QM_PLANT_RC})
set_source_files_properties(${QM_PLANT_RC} PROPERTIES OBJECT_DEPENDS
                            "${QM_PLANT_DIR}/PlantDecoy.dll;${QM_PLANT_DIR}/PlantProbe.exe")
add_dependencies(DllPlantingTest PlantDecoy PlantProbe)
