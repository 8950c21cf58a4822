# The program's POSIX serial device talking to the simulator.
if(TARGET slm7650-sim AND NOT WIN32)
  vr_add_test(sim_device_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/sim_device_test.cpp LIBS vr_platform LABELS thread)
  target_compile_definitions(sim_device_test PRIVATE SIM_PROGRAM="$<TARGET_FILE:slm7650-sim>")
  add_dependencies(sim_device_test slm7650-sim)
endif()
