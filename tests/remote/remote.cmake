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

# End to end: the main window on the modem simulator's pseudo-terminal and
# Hamlib's rigctl (Debian's libhamlib-utils) as the client.
if(VR_WITH_QT AND TARGET slm7650-sim AND NOT WIN32)
  vr_add_test(remote_e2e_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/remote_e2e_test.cpp LIBS vr_app QT)
  target_include_directories(remote_e2e_test PRIVATE ${CMAKE_SOURCE_DIR}/tests/app ${CMAKE_SOURCE_DIR}/tests/tools)
  target_compile_definitions(remote_e2e_test PRIVATE SIM_PROGRAM="$<TARGET_FILE:slm7650-sim>")
  add_dependencies(remote_e2e_test slm7650-sim)
endif()
