# Path rules, the product's registry keys and the batch text: portable.
list(APPEND QM_PORTABLE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/PathSafety.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProductKeys.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgressThrottle.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SelfDeleteBatch.cpp)
list(APPEND QM_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/FileHandles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FolderFacts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FolderRemoval.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PathForms.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgressStepper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SystemFolders.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TreeWalk.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RegistryCleanup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ShortcutRemoval.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SelfDelete.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UninstallRun.cpp)
