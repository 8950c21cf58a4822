# The reconnection of a lost line and the station log wired to the windows.
vr_add_test(app_reconnect_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/reconnect_test.cpp LIBS vr_app QT)

# The adapter unplugged and plugged in again, on the real serial device
# against the modem simulator.
if(VR_WITH_QT AND TARGET slm7650-sim AND NOT WIN32)
  vr_add_test(app_unattended_e2e_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/unattended_e2e_test.cpp LIBS vr_app QT)
  target_include_directories(app_unattended_e2e_test PRIVATE ${CMAKE_SOURCE_DIR}/tests/tools)
  target_compile_definitions(app_unattended_e2e_test PRIVATE SIM_PROGRAM="$<TARGET_FILE:slm7650-sim>")
  add_dependencies(app_unattended_e2e_test slm7650-sim)
endif()

# The program's entry keeps the station log.
vr_add_test(app_unattended_startup_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/unattended_startup_test.cpp LIBS vr_app QT)
