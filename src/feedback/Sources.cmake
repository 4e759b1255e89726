# The feedback form, its encoding and the HTTP request and answer: portable.
list(APPEND QM_PORTABLE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/FormEncoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HttpUrl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HttpRequest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HttpResponse.cpp)
# The client over Winsock (the lookup and the connection in Connect) and the
# window's SendFeedback.
list(APPEND QM_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/Winsock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Connect.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HttpClient.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SendFeedback.cpp)
