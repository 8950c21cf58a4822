# The modem simulator, driven as a separate program over a pseudo-terminal.
if(TARGET slm7650-sim)
  vr_add_test(sim_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/sim_test.cpp)
  target_compile_definitions(sim_test PRIVATE SIM_PROGRAM="$<TARGET_FILE:slm7650-sim>")
  add_dependencies(sim_test slm7650-sim)
endif()
