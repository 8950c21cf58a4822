# Reopening the port as a normal user against the modem simulator.
if(TARGET slm7650-sim AND NOT WIN32)
  vr_add_test(serial_reopen_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/reopen_test.cpp
    LIBS vr_serial LABELS thread)
  target_include_directories(serial_reopen_test PRIVATE ${CMAKE_SOURCE_DIR}/tests/tools)
  target_compile_definitions(serial_reopen_test PRIVATE SIM_PROGRAM="$<TARGET_FILE:slm7650-sim>")
  add_dependencies(serial_reopen_test slm7650-sim)
endif()
