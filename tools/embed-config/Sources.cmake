# The configuration check of embed-config: the checks, their report and the
# configuration's encoding are portable (native tests); the file is read
# through the uninstaller's own private-profile reader (Win32). They live
# with the tool, not in the program.
set(QM_CHECK_PORTABLE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ConfigCheck.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConfigEncoding.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConfigReport.cpp)
set(QM_CHECK_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/IniConfigSource.cpp)
