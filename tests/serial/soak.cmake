# The real POSIX backend opened and closed over and over on the simulator's
# pseudo-terminal (VR_SOAK_CYCLES in the environment sets fewer cycles).
if(TARGET slm7650-sim AND NOT WIN32)
  vr_add_test(serial_soak_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/soak_test.cpp
    LIBS vr_protocol vr_serial LABELS thread)
  target_include_directories(serial_soak_test PRIVATE ${CMAKE_SOURCE_DIR}/tests/tools)
  target_compile_definitions(serial_soak_test PRIVATE SIM_PROGRAM="$<TARGET_FILE:slm7650-sim>")
  add_dependencies(serial_soak_test slm7650-sim)
endif()
