# Line faults on the real POSIX backend with the reply parser reading: the
# modem hanging up, staying silent, replying byte by byte, stray bytes.
if(TARGET slm7650-sim AND NOT WIN32)
  vr_add_test(serial_faults_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/faults_test.cpp
    LIBS vr_protocol vr_serial LABELS thread)
  target_include_directories(serial_faults_test PRIVATE ${CMAKE_SOURCE_DIR}/tests/tools)
  target_compile_definitions(serial_faults_test PRIVATE SIM_PROGRAM="$<TARGET_FILE:slm7650-sim>")
  add_dependencies(serial_faults_test slm7650-sim)
endif()
