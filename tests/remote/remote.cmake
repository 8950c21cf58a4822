# Network control: the line protocol (no Qt, no network).
vr_add_test(remote_rigctl_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/rigctl_test.cpp LIBS vr_remote)

# The server on real sockets (fake station), and on the main window with a
# fake serial device and virtual time.
vr_add_test(remote_server_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/server_test.cpp ${CMAKE_CURRENT_LIST_DIR}/remote_form_test.cpp
  LIBS vr_app
  QT)
if(TARGET remote_server_test)
  target_include_directories(remote_server_test PRIVATE ${CMAKE_SOURCE_DIR}/tests/app)
endif()
