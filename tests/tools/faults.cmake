# Fault options of the modem simulator that the line-fault tests rely on.
if(TARGET slm7650-sim)
  vr_add_test(sim_faults_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/faults_test.cpp)
  target_compile_definitions(sim_faults_test PRIVATE SIM_PROGRAM="$<TARGET_FILE:slm7650-sim>")
  add_dependencies(sim_faults_test slm7650-sim)
endif()
